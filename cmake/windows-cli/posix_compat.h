// Force-included into the core's sources in the Windows build only: the few
// POSIX file calls the core makes, mapped onto the Windows C runtime.
//
// Files are always opened in binary mode: the runtime's default text mode
// would write every 0x0A byte of a track as 0x0D 0x0A.
#pragma once
#ifdef _WIN32

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// <windows.h> stays out of here: it defines macros such as `near` and `far`
// that would break ordinary code of every file this header is forced into.

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
// what a save through a temporary file needs (posix_compat.cpp).
int rename(const wchar_t* from, const char* to);
int rename(const wchar_t* from, const wchar_t* to);

#endif
