#include "settings/settings_file.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/file_replacement.h"
#include "platform/places.h"

namespace torvix::settings {
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

// Replaces `target` by `content` through a temporary file in the same folder.
// A new file is readable by everyone and written by its owner, as a
// configuration file usually is; a replaced one keeps its permissions.
bool ReplaceFile(const std::filesystem::path& target, const std::string& content) {
    platform::FileReplacement file(target, target.filename().string() + ".", 0644u);
    return file.is_open() && file.Write(content.data(), content.size()) && file.Commit(true);
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

        // A file marked read-only stays untouched, even for a user whom
        // permissions would let through.
        const auto existing = platform::LookAt(target);
        if (!existing || (existing->exists && (!existing->regular || !existing->writable))) return false;
        const bool exists = existing->exists;
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
        return ReplaceFile(target, out);
    } catch (...) {
        return false;
    }
}

bool IsInstalledCopy(const std::filesystem::path& program_folder) { return platform::IsInstalledCopy(program_folder); }

bool CanKeepSettingsBeside(const std::filesystem::path& program_folder) {
    return !program_folder.empty() && !IsInstalledCopy(program_folder) && platform::CanWriteFolder(program_folder);
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& program_folder, bool beside_program,
                                       const std::filesystem::path& user_config_folder) {
    const std::filesystem::path name{std::string(kSettingsFileName)};
    if (beside_program || user_config_folder.empty()) return program_folder / name;
    return user_config_folder / "Torvix" / name;
}

std::string GetINISetting(const SettingsFile& file, std::string_view key, std::string_view setting,
                          std::string_view default_value) {
    return file.Get(key, setting, default_value);
}

bool SaveINISetting(const SettingsFile& file, std::string_view key, std::string_view setting,
                    std::string_view value) {
    return file.Save(key, setting, value);
}

ParameterTexts LoadParameterTexts(const SettingsFile& file, const ParameterTexts& defaults) {
    ParameterTexts texts;
    texts.segments = GetINISetting(file, "Settings", "Segments", defaults.segments);
    texts.heartline = GetINISetting(file, "Settings", "Heartline", defaults.heartline);
    texts.start_speed = GetINISetting(file, "Settings", "SpeedIn", defaults.start_speed);
    texts.end_speed = GetINISetting(file, "Settings", "SpeedOut", defaults.end_speed);
    texts.precision = GetINISetting(file, "Settings", "Precision", defaults.precision);
    texts.filter = GetINISetting(file, "Settings", "Filter", defaults.filter);
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

}  // namespace torvix::settings
