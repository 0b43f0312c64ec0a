// Feeds arbitrary bytes to the track decoder. Whatever decodes must encode
// to an image that decodes again and re-encodes to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "track/track_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    torvix::track::Track track;
    torvix::track::TrackIoError error;
    if (!torvix::track::ReadTrackBytes({data, size}, track, &error)) {
        if (error.message.empty() || error.offset < -1 || error.offset > static_cast<std::int64_t>(size)) std::abort();
        return 0;
    }
    const std::vector<std::uint8_t> image = torvix::track::EncodeTrack(track);
    torvix::track::Track back;
    if (!torvix::track::ReadTrackBytes(image, back)) std::abort();
    if (torvix::track::EncodeTrack(back) != image) std::abort();
    return 0;
}
