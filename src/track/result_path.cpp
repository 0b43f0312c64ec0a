#include "track/result_path.h"

#include "track/track_path.h"

namespace torvix::track {

std::string ResultPath(std::string_view input) {
    constexpr std::string_view kExtension = ".nltrack";
    std::string stem(input);
    if (HasTrackExtension(stem)) stem.resize(stem.size() - kExtension.size());
    return stem + "_Torvix.nltrack";
}

}  // namespace torvix::track
