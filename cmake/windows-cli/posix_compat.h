// Force-included into the core's sources in the Windows build only: the few
// POSIX file calls the core makes, mapped onto the Windows C runtime.
//
// Files are always opened in binary mode: the runtime's default text mode
// would write every 0x0A byte of a track as 0x0D 0x0A.
#pragma once
#ifdef _WIN32

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <windows.h>

#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif

// Windows files have no POSIX permission bits to carry over.
inline int fchmod(int, unsigned) { return 0; }
inline int fsync(int fd) { return _commit(fd); }

// std::filesystem::path hands out wide strings on Windows.
inline int open(const wchar_t* path, int flags, int mode) { return _wopen(path, flags | _O_BINARY, mode); }
inline int unlink(const wchar_t* path) { return _wunlink(path); }

// The runtime's rename() refuses to replace an existing file; replacing is
// what a save through a temporary file needs.
inline int TorvixReplaceFile(const std::wstring& from, const std::wstring& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}
inline std::wstring TorvixWide(const char* text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? static_cast<std::size_t>(n) : 0u, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    if (!wide.empty()) wide.pop_back();
    return wide;
}
inline int rename(const wchar_t* from, const char* to) { return TorvixReplaceFile(from, TorvixWide(to)); }
inline int rename(const wchar_t* from, const wchar_t* to) { return TorvixReplaceFile(from, to); }

#endif
