#include "platform/places.h"

#include <string>

namespace torvix::platform {

std::filesystem::path XdgConfigFolder(std::string_view xdg_config_home, std::string_view home) {
    const std::filesystem::path xdg{std::string(xdg_config_home)};
    if (xdg.is_absolute()) return xdg;
    if (!home.empty()) return std::filesystem::path(std::string(home)) / ".config";
    return {};
}

}  // namespace torvix::platform
