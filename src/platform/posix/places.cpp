#include "platform/places.h"

#include <cstdlib>
#include <string>
#include <system_error>

#include <unistd.h>

namespace torvix::platform {

namespace {

std::string_view Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::filesystem::path UserConfigFolder() { return XdgConfigFolder(Env("XDG_CONFIG_HOME"), Env("HOME")); }

bool IsInstalledCopy(const std::filesystem::path& program_folder) {
    std::error_code ec;
    return std::filesystem::is_regular_file(
        program_folder / ".." / "share" / "applications" / std::string(kDesktopEntryFileName), ec);
}

bool CanWriteFolder(const std::filesystem::path& folder) { return ::access(folder.c_str(), W_OK) == 0; }

}  // namespace torvix::platform
