#include "app/track_session.h"

#include "heartline/track_length.h"
#include "texts/messages.h"

using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::app {

TrackSession::TrackSession(QObject* parent) : QObject(parent) {}

TrackSession::LoadResult TrackSession::Load(const std::string& file) {
    LoadResult out;
    Track track;
    TrackIoError error;
    const bool read = ReadTrackFile(file, track, &error, &out.skipped);
    const base::Result<double> measured = read ? TrackLength(track) : base::Status::Fail("");
    SetModified(false);
    if (!measured.ok()) {
        out.status = base::Status::Fail(
            read ? texts::LengthNotMeasured(measured.error())
                 : error.message + (error.offset >= 0 ? " (at byte offset " + std::to_string(error.offset) + ")"
                                                      : std::string()));
        SetLoaded(false);
        return out;
    }
    file_ = file;
    current_ = std::move(track);
    loaded_track_ = current_;
    length_ = *measured;
    SetLoaded(true);
    return out;
}

void TrackSession::RunStarted() {
    current_ = loaded_track_;
    SetModified(false);
}

void TrackSession::RunSucceeded(Track result) {
    current_ = std::move(result);
    SetModified(true);
}

void TrackSession::SetLoaded(bool loaded) {
    if (loaded_ == loaded) return;
    loaded_ = loaded;
    emit loadedChanged(loaded);
}

void TrackSession::SetModified(bool modified) {
    if (modified_ == modified) return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

}  // namespace torvix::app
