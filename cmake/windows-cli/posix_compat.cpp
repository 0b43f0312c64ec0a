// The parts of posix_compat.h that need <windows.h>.
#include <windows.h>

#include <cerrno>
#include <string>

namespace {

int ReplaceFile(const wchar_t* from, const wchar_t* to) {
    if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}

// A narrow path as the C runtime reads it: in the ANSI code page.
std::wstring Wide(const char* text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    wide.pop_back();
    return wide;
}

}  // namespace

int rename(const wchar_t* from, const char* to) { return ReplaceFile(from, Wide(to).c_str()); }
int rename(const wchar_t* from, const wchar_t* to) { return ReplaceFile(from, to); }
