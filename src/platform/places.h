// Where things live on this system: the user's configuration folder, and
// whether a program was installed by the system's installer or merely
// unpacked (an installed copy must not write into its own folder).
#pragma once

#include <filesystem>
#include <string_view>

namespace torvix::platform {

// The folder that holds per-program configuration folders: %APPDATA% on
// Windows; elsewhere $XDG_CONFIG_HOME, or ~/.config when that is unset or
// relative. Empty when the environment names none.
std::filesystem::path UserConfigFolder();

// The XDG rule on its own: `xdg_config_home` when absolute (a relative one is
// invalid and ignored), else `home`/.config, else nothing.
std::filesystem::path XdgConfigFolder(std::string_view xdg_config_home, std::string_view home);

// Whether the program in `program_folder` was installed: on Linux its prefix
// holds Torvix's desktop entry (<prefix>/bin beside <prefix>/share); on
// Windows the installer's uninstaller lies beside it.
bool IsInstalledCopy(const std::filesystem::path& program_folder);

// The desktop entry an installed copy has in <prefix>/share/applications.
inline constexpr std::string_view kDesktopEntryFileName = "torvix.desktop";
// The uninstaller the Windows installer puts beside the programs.
inline constexpr std::string_view kUninstallerFileName = "Uninstall.exe";

// Whether this process may create files in `folder`.
bool CanWriteFolder(const std::filesystem::path& folder);

}  // namespace torvix::platform
