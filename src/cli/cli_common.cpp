#include "cli/cli_common.h"

#include "texts/display_texts.h"
#include "texts/messages.h"
#include "track/track_io.h"

using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::cli {

bool LoadTrackOrReport(const std::string& path, Track& track, std::ostream& err) {
    TrackIoError error;
    std::vector<SkippedChunk> skipped;
    if (ReadTrackFile(path, track, &error, &skipped)) {
        for (const SkippedChunk& s : skipped) err << SkippedChunkText(s) << "\n";
        return true;
    }
    err << kTrackLoadError << '\n' << error.message;
    if (error.offset >= 0) err << " (at byte offset " << error.offset << " of " << path << ")";
    err << "\n";
    return false;
}

bool SaveTrackOrReport(const std::string& path, const Track& track, std::ostream& err) {
    TrackIoError error;
    if (WriteTrackFile(path, track, &error)) return true;
    err << kTrackSaveError << '\n' << error.message << "\n";
    return false;
}

}  // namespace torvix::cli
