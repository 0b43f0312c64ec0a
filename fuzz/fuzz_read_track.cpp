// Feeds arbitrary bytes to the track decoder. Whatever decodes must encode
// to an image that decodes again and re-encodes to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "track/track_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    torvix::Track track;
    torvix::TrackIoError error;
    if (!torvix::ReadTrackBytes({data, size}, track, &error)) {
        if (error.message.empty() || error.offset < -1 || error.offset > static_cast<std::int64_t>(size)) std::abort();
        return 0;
    }
    const std::vector<std::uint8_t> image = torvix::EncodeTrack(track);
    torvix::Track back;
    if (!torvix::ReadTrackBytes(image, back)) std::abort();
    if (torvix::EncodeTrack(back) != image) std::abort();
    return 0;
}
