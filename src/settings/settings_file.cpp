#include "settings/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <random>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace torvix {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string CutValue(std::string_view value) {
    value = value.substr(0, value.find('\0'));
    return std::string(value.substr(0, kMaxSettingLength));
}

// The file split into lines without their line ends, and which line end it uses.
struct IniText {
    std::vector<std::string> lines;
    std::string eol = "\n";
};

IniText SplitLines(const std::string& content) {
    IniText text;
    if (content.find("\r\n") != std::string::npos) text.eol = "\r\n";
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text.lines.push_back(std::move(line));
        start = end + 1;
    }
    return text;
}

// A line with a leading byte order mark is read without it.
std::string_view Content(const IniText& text, std::size_t index) {
    std::string_view line = text.lines[index];
    if (index == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    return line;
}

// The name of a section header line, or nothing for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    return Trim(line.substr(0, line.find(']')));
}

struct EntryLine {
    std::string_view name;
    std::string_view value;
    std::size_t value_offset;  // where the value part starts in the raw line
};

std::optional<EntryLine> ParseEntry(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return EntryLine{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), eq + 1};
}

// Index of the first header of `section`, if any.
std::optional<std::size_t> FindSection(const IniText& text, std::string_view section) {
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        const auto name = SectionName(Content(text, i));
        if (name && SameName(*name, section)) return i;
    }
    return std::nullopt;
}

// One past the last line of the section whose header is at `header`.
std::size_t SectionEnd(const IniText& text, std::size_t header) {
    std::size_t i = header + 1;
    while (i < text.lines.size() && !SectionName(text.lines[i])) ++i;
    return i;
}

std::optional<std::size_t> FindEntry(const IniText& text, std::size_t header, std::string_view entry) {
    const std::size_t end = SectionEnd(text, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto parsed = ParseEntry(text.lines[i]);
        if (parsed && SameName(parsed->name, entry)) return i;
    }
    return std::nullopt;
}

// Reads the whole file. Nothing when it is missing or cannot be read.
std::optional<std::string> ReadWhole(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return content;
}

bool HasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

bool ValidSectionName(std::string_view name) {
    return !name.empty() && !HasLineBreakOrNul(name) && name.find(']') == std::string_view::npos;
}

bool ValidEntryName(std::string_view name) {
    return !name.empty() && !HasLineBreakOrNul(name) && name.find('=') == std::string_view::npos &&
           name.front() != '[' && name.front() != ';';
}

// Texts are built by appending to one reserved string: building them with
// `"x" + s` makes GCC 12 at -O3 warn (-Wrestrict) about the insert at the front.
std::string Join(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (std::string_view part : parts) size += part.size();
    std::string joined;
    joined.reserve(size);
    for (std::string_view part : parts) joined.append(part);
    return joined;
}

// Creates the missing folders above `file`, readable by the user only, as a
// per-user configuration folder should be.
bool MakeParentFolders(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code ec;
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) return true;
    if (!MakeParentFolders(folder)) return false;
    if (!std::filesystem::create_directory(folder, ec) || ec) return false;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    return true;
}

#ifdef _WIN32
using FileMode = int;
int OpenNew(const std::filesystem::path& p) {
    return ::_wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
int SetMode(int, FileMode) { return 0; }
int Flush(int fd) { return ::_commit(fd); }
bool Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
void Remove(const std::filesystem::path& p) { ::_wunlink(p.c_str()); }
int WriteSome(int fd, const char* data, std::size_t size) {
    return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
int CloseFile(int fd) { return ::_close(fd); }
#else
using FileMode = mode_t;
int OpenNew(const std::filesystem::path& p) { return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }
int SetMode(int fd, FileMode mode) { return ::fchmod(fd, mode); }
int Flush(int fd) { return ::fsync(fd); }
bool Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
void Remove(const std::filesystem::path& p) { ::unlink(p.c_str()); }
ssize_t WriteSome(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }
int CloseFile(int fd) { return ::close(fd); }
#endif

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const auto n = WriteSome(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Creates a new file beside `target` under a name no other file has.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temp) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(random()));
        temp = folder / Join({".", target.filename().string(), suffix});
        const int fd = OpenNew(temp);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Replaces `target` by `content` through a temporary file in the same folder.
bool ReplaceFile(const std::filesystem::path& target, const std::string& content, FileMode mode) {
    std::filesystem::path temp;
    const int fd = CreateTemporaryBeside(target, temp);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, content) && SetMode(fd, mode) == 0 && Flush(fd) == 0;
    ok = (CloseFile(fd) == 0) && ok;
    ok = ok && Replace(temp, target);
    if (!ok) Remove(temp);
    return ok;
}

// Whether `target` may be replaced; fills `mode` from it when it exists.
// A file marked read-only stays untouched, even for a user whom permissions
// would let through.
bool MayReplace(const std::filesystem::path& target, FileMode& mode, bool& exists) {
#ifdef _WIN32
    (void)mode;
    struct _stat64 st {};
    exists = ::_wstat64(target.c_str(), &st) == 0;
    if (!exists) return errno == ENOENT;
    return (st.st_mode & _S_IFMT) == _S_IFREG && (st.st_mode & _S_IWRITE) != 0;
#else
    struct stat st {};
    exists = ::stat(target.c_str(), &st) == 0;
    if (!exists) return errno == ENOENT;
    if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
    mode = st.st_mode & 07777;
    return true;
#endif
}

}  // namespace

std::string SettingsFile::Get(std::string_view section, std::string_view entry,
                              std::string_view default_value) const {
    try {
        const auto content = ReadWhole(path_);
        if (!content) return CutValue(default_value);
        const IniText text = SplitLines(*content);
        const std::string_view wanted_section = Trim(section);
        const std::string_view wanted_entry = Trim(entry);
        const auto header = FindSection(text, wanted_section);
        if (!header) return CutValue(default_value);
        const auto line = FindEntry(text, *header, wanted_entry);
        if (!line) return CutValue(default_value);
        return CutValue(ParseEntry(text.lines[*line])->value);
    } catch (...) {
        return CutValue(default_value);
    }
}

bool SettingsFile::Save(std::string_view section, std::string_view entry, std::string_view value) const {
    try {
        section = Trim(section);
        entry = Trim(entry);
        if (!ValidSectionName(section) || !ValidEntryName(entry) || HasLineBreakOrNul(value)) return false;

        // Write through a link to the file it names, so the link survives.
        std::filesystem::path target = path_;
        std::error_code ec;
        if (std::filesystem::is_symlink(target, ec)) {
            target = std::filesystem::canonical(target, ec);
            if (ec) return false;
        }

#ifdef _WIN32
        FileMode mode = 0;
#else
        FileMode mode = 0644;
#endif
        bool exists = false;
        if (!MayReplace(target, mode, exists)) return false;
        std::string content;
        if (exists) {
            const auto existing = ReadWhole(target);
            if (!existing) return false;
            content = *existing;
        } else if (!MakeParentFolders(target)) {
            return false;
        }

        IniText text = SplitLines(content);
        const std::string new_entry = Join({entry, "=", value});
        if (const auto header = FindSection(text, section)) {
            if (const auto line = FindEntry(text, *header, entry)) {
                std::string& raw = text.lines[*line];
                raw = Join({std::string_view(raw).substr(0, ParseEntry(raw)->value_offset), value});
            } else {
                // New entries go after the section's last non-blank line.
                std::size_t at = SectionEnd(text, *header);
                while (at > *header + 1 && Trim(text.lines[at - 1]).empty()) --at;
                text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(at), new_entry);
            }
        } else {
            text.lines.push_back(Join({"[", section, "]"}));
            text.lines.push_back(new_entry);
        }

        std::string out;
        for (const std::string& line : text.lines) out.append(line).append(text.eol);
        return ReplaceFile(target, out, mode);
    } catch (...) {
        return false;
    }
}

bool IsInstalledCopy(const std::filesystem::path& program_folder) {
    std::error_code ec;
    return std::filesystem::is_regular_file(
        program_folder / ".." / "share" / "applications" / std::string(kDesktopEntryFileName), ec);
}

bool CanKeepSettingsBeside(const std::filesystem::path& program_folder) {
    if (program_folder.empty() || IsInstalledCopy(program_folder)) return false;
#ifdef _WIN32
    return ::_waccess(program_folder.c_str(), 2) == 0;
#else
    return ::access(program_folder.c_str(), W_OK) == 0;
#endif
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& program_folder, bool beside_program,
                                       std::string_view xdg_config_home, std::string_view home) {
    const std::filesystem::path name{std::string(kSettingsFileName)};
    if (beside_program) return program_folder / name;
    const std::filesystem::path xdg{std::string(xdg_config_home)};
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (xdg.is_absolute()) return xdg / "Torvix" / name;
    if (!home.empty()) return std::filesystem::path(std::string(home)) / ".config" / "Torvix" / name;
    return program_folder / name;
}

std::string GetINISetting(const SettingsFile& file, std::string_view key, std::string_view setting,
                          std::string_view default_value) {
    return file.Get(key, setting, default_value);
}

bool SaveINISetting(const SettingsFile& file, std::string_view key, std::string_view setting,
                    std::string_view value) {
    return file.Save(key, setting, value);
}

ParameterTexts LoadParameterTexts(const SettingsFile& file) {
    ParameterTexts texts;
    texts.segments = GetINISetting(file, "Settings", "Segments", "60");
    texts.heartline = GetINISetting(file, "Settings", "Heartline", "1.0");
    texts.start_speed = GetINISetting(file, "Settings", "SpeedIn", "20");
    texts.end_speed = GetINISetting(file, "Settings", "SpeedOut", "17");
    texts.precision = GetINISetting(file, "Settings", "Precision", "6");
    texts.filter = GetINISetting(file, "Settings", "Filter", "15");
    return texts;
}

bool SaveParameterTexts(const SettingsFile& file, const ParameterTexts& texts) {
    bool ok = SaveINISetting(file, "Settings", "Segments", texts.segments);
    ok = SaveINISetting(file, "Settings", "Heartline", texts.heartline) && ok;
    ok = SaveINISetting(file, "Settings", "SpeedIn", texts.start_speed) && ok;
    ok = SaveINISetting(file, "Settings", "SpeedOut", texts.end_speed) && ok;
    ok = SaveINISetting(file, "Settings", "Precision", texts.precision) && ok;
    ok = SaveINISetting(file, "Settings", "Filter", texts.filter) && ok;
    return ok;
}

}  // namespace torvix
