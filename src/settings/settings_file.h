// The program's settings file: a small INI file of named sections holding
// named text entries, read and written one entry per call.
//
// Reading gives the caller's default for a missing file, section or entry and
// at most kMaxSettingLength characters of a value. Writing creates the file,
// the section or the entry as needed and replaces an existing value in place,
// keeping every other line. Section and entry names match without regard to
// letter case; blanks around names and values are ignored.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace torvix::settings {

inline constexpr std::string_view kSettingsFileName = "Torvix.ini";

// Longest value a read returns; longer values are cut.
inline constexpr std::size_t kMaxSettingLength = 1023;

// Whether the program in `program_folder` is an installed copy: on Linux one
// whose prefix holds Torvix's desktop entry (<prefix>/bin beside
// <prefix>/share), on Windows one with the installer's uninstaller beside it.
bool IsInstalledCopy(const std::filesystem::path& program_folder);

// Whether Torvix.ini may live beside the program: its folder can be written
// and the program is not an installed copy (a portable copy or a build tree).
// Installed copies never write into their folder, not even as root.
bool CanKeepSettingsBeside(const std::filesystem::path& program_folder);

// Where the window keeps its settings: beside the program when
// `beside_program`, otherwise in Torvix/ under the user's configuration folder
// (platform::UserConfigFolder(): ~/.config, %APPDATA%). Without one it falls
// back to the program's folder.
std::filesystem::path SettingsFilePath(const std::filesystem::path& program_folder, bool beside_program,
                                       const std::filesystem::path& user_config_folder);

// Names one settings file. The file is opened anew by every access, so
// edits made by hand between two calls are seen.
class SettingsFile {
public:
    explicit SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

    // The settings file in the given folder (the application's folder).
    static SettingsFile InFolder(const std::filesystem::path& folder) {
        return SettingsFile(folder / std::string(kSettingsFileName));
    }

    const std::filesystem::path& path() const { return path_; }

    // The value of `entry` in `section`, or `default_value` (cut to the same
    // length) when the file, the section or the entry is missing.
    std::string Get(std::string_view section, std::string_view entry, std::string_view default_value) const;

    // Stores `value` under `entry` of `section`, creating missing folders
    // above the file (owner-only). The file is replaced whole
    // through a temporary file in the same folder, so a crash leaves either the
    // old or the new file. Returns false, and leaves the file as it was, when
    // the file is read-only, the folder cannot be written, or a name or value
    // cannot be represented on one INI line. Never throws.
    bool Save(std::string_view section, std::string_view entry, std::string_view value) const;

private:
    std::filesystem::path path_;
};

// The window's two access routines; `key` names the section, `setting` the entry.
std::string GetINISetting(const SettingsFile& file, std::string_view key, std::string_view setting,
                          std::string_view default_value);
bool SaveINISetting(const SettingsFile& file, std::string_view key, std::string_view setting,
                    std::string_view value);

// The texts of the six parameter fields as kept in section "Settings".
struct ParameterTexts {
    std::string segments;
    std::string heartline;
    std::string start_speed;
    std::string end_speed;
    std::string precision;
    std::string filter;

    bool operator==(const ParameterTexts&) const = default;
};

// The field texts at start-up: each stored text as it is (no range checks),
// or the text of `defaults`. Only reads; never creates the file.
ParameterTexts LoadParameterTexts(const SettingsFile& file, const ParameterTexts& defaults);

// Stores the six texts exactly as given, in the order the modify command
// writes them. Returns false if any write failed.
bool SaveParameterTexts(const SettingsFile& file, const ParameterTexts& texts);

}  // namespace torvix::settings
