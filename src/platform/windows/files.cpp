// Files are opened in binary mode throughout: the C runtime's default text
// mode would write every 0x0A byte of a track as 0x0D 0x0A. Paths go to the
// system as wide strings, so any name Windows can show can be written.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <string>
#include <sys/stat.h>

#include "platform/file_replacement.h"

namespace torvix::platform {

std::optional<ExistingFile> LookAt(const std::filesystem::path& path) {
    ExistingFile file;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return file;
        return std::nullopt;
    }
    file.exists = true;
    file.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    file.writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
    return file;
}

FileReplacement::FileReplacement(const std::filesystem::path& target, std::string_view temp_prefix,
                                 std::optional<unsigned>)
    : target_(target) {
    // Windows files carry no POSIX permission bits; a replaced file's
    // attributes stay with its name.
    const auto existing = LookAt(target);
    replacing_ = existing && existing->exists && existing->regular;
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        temp_ = folder / (std::string(".").append(temp_prefix).append(suffix));
        handle_ = ::_wopen(temp_.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                           _S_IREAD | _S_IWRITE);
        if (handle_ >= 0 || errno != EEXIST) break;
    }
    if (handle_ < 0) error_ = errno;
}

FileReplacement::~FileReplacement() { Abandon(); }

bool FileReplacement::Fail() {
    if (error_ == 0) error_ = errno;
    Abandon();
    return false;
}

void FileReplacement::Abandon() {
    if (handle_ < 0) return;
    ::_close(handle_);
    handle_ = -1;
    ::_wunlink(temp_.c_str());
}

bool FileReplacement::Write(const void* data, std::size_t size) {
    if (handle_ < 0) return false;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const unsigned piece = static_cast<unsigned>(size < (1u << 30) ? size : (1u << 30));
        const int n = ::_write(handle_, bytes, piece);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail();
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FileReplacement::Commit(bool flush) {
    if (handle_ < 0) return false;
    if (flush && ::_commit(handle_) != 0) return Fail();
    const int handle = handle_;
    handle_ = -1;
    if (::_close(handle) != 0) {
        error_ = errno;
        ::_wunlink(temp_.c_str());
        return false;
    }
    // The C runtime's rename refuses to replace an existing file.
    if (!::MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error_ = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
        ::_wunlink(temp_.c_str());
        return false;
    }
    return true;
}

}  // namespace torvix::platform
