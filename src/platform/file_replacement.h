// Writing a file whole in place of an old one: the bytes go to a temporary
// file beside the target, which then takes the target's name in one step, so
// a reader or a crash sees either the old file or the new one, never a mix.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

namespace torvix::platform {

// What a replacement needs to know about the file it replaces.
struct ExistingFile {
    bool exists = false;
    bool regular = false;
    // The file may be written: not marked read-only, and (POSIX) this user has
    // write access.
    bool writable = false;
    // Permission bits (POSIX); 0 where the system has none.
    unsigned mode = 0;
};

// Looks at `path`; `exists` false when nothing is there. Nothing at all when
// the system cannot say (a folder that cannot be searched).
std::optional<ExistingFile> LookAt(const std::filesystem::path& path);

class FileReplacement {
public:
    // Creates the temporary file beside `target`, named `.<prefix><random>`.
    // The new file keeps the permissions of a regular file it replaces; a new
    // one gets `new_file_mode` when given, else the system's default.
    FileReplacement(const std::filesystem::path& target, std::string_view temp_prefix,
                    std::optional<unsigned> new_file_mode = std::nullopt);
    // Abandons an uncommitted replacement: the temporary file goes, the target stays.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the temporary file could not be made; error() says why.
    bool is_open() const { return handle_ >= 0; }
    // Whether a regular file is there to be replaced.
    bool replacing() const { return replacing_; }
    // The system's error number (errno) of the first step that failed.
    int error() const { return error_; }

    bool Write(const void* data, std::size_t size);
    // Makes the bytes durable before the rename when `flush`, closes the file
    // and puts it in the target's place (replacing an existing file).
    bool Commit(bool flush);

private:
    bool Fail();
    void Abandon();

    std::filesystem::path target_;
    std::filesystem::path temp_;
    int handle_ = -1;
    int error_ = 0;
    bool replacing_ = false;
};

}  // namespace torvix::platform
