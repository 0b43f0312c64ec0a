#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_replacement.h"

namespace torvix::platform {

std::optional<ExistingFile> LookAt(const std::filesystem::path& path) {
    struct stat st {};
    ExistingFile file;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return file;
        return std::nullopt;
    }
    file.exists = true;
    file.regular = S_ISREG(st.st_mode);
    // A file marked read-only stays untouched, even for a user whom
    // permissions would let through (root).
    file.writable = (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
    file.mode = st.st_mode & 07777;
    return file;
}

FileReplacement::FileReplacement(const std::filesystem::path& target, std::string_view temp_prefix,
                                 std::optional<unsigned> new_file_mode)
    : target_(target) {
    std::optional<unsigned> mode = new_file_mode;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        replacing_ = true;
        mode = old.st_mode & 07777;
    }
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        temp_ = folder / (std::string(".").append(temp_prefix).append(suffix));
        handle_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode ? 0600 : 0666);
        if (handle_ >= 0 || errno != EEXIST) break;
    }
    if (handle_ < 0) {
        error_ = errno;
        return;
    }
    if (mode && ::fchmod(handle_, *mode) != 0) Fail();
}

FileReplacement::~FileReplacement() { Abandon(); }

bool FileReplacement::Fail() {
    if (error_ == 0) error_ = errno;
    Abandon();
    return false;
}

void FileReplacement::Abandon() {
    if (handle_ < 0) return;
    ::close(handle_);
    handle_ = -1;
    ::unlink(temp_.c_str());
}

bool FileReplacement::Write(const void* data, std::size_t size) {
    if (handle_ < 0) return false;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(handle_, bytes, size);
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
#if defined(__linux__)
    if (flush && ::fdatasync(handle_) != 0) return Fail();
#else
    if (flush && ::fsync(handle_) != 0) return Fail();
#endif
    const int handle = handle_;
    handle_ = -1;
    if (::close(handle) != 0 || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = errno;
        ::unlink(temp_.c_str());
        return false;
    }
    return true;
}

}  // namespace torvix::platform
