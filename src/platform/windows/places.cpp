#include <windows.h>

#include <io.h>
#include <stdlib.h>
#include <string>
#include <system_error>

#include "platform/places.h"

namespace torvix::platform {

// %APPDATA% (the roaming profile), where Windows programs keep what a user set.
std::filesystem::path UserConfigFolder() {
    const wchar_t* app_data = ::_wgetenv(L"APPDATA");
    if (app_data == nullptr || *app_data == L'\0') return {};
    const std::filesystem::path folder(app_data);
    return folder.is_absolute() ? folder : std::filesystem::path();
}

bool IsInstalledCopy(const std::filesystem::path& program_folder) {
    std::error_code ec;
    return std::filesystem::is_regular_file(program_folder / std::string(kUninstallerFileName), ec);
}

// _waccess looks at the read-only attribute only, which folders ignore; a
// folder under Program Files is refused by its access list instead, so try.
bool CanWriteFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return false;
    const std::filesystem::path probe = folder / ".torvix-write-test";
    const HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_EXISTS;
    ::CloseHandle(file);
    return true;
}

}  // namespace torvix::platform
