#include "track/track_path.h"

#include <string_view>

namespace torvix::track {

bool HasTrackExtension(const std::string& path) {
    constexpr std::string_view kExtension = ".nltrack";
    if (path.size() < kExtension.size()) return false;
    const std::string_view tail = std::string_view(path).substr(path.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kExtension[i]) return false;
    }
    return true;
}

std::string WithTrackExtension(const std::string& path) {
    return HasTrackExtension(path) ? path : path + ".nltrack";
}

}  // namespace torvix::track
