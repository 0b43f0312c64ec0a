// The open and save dialogs of the load and save commands.
//
// Callers describe a dialog the way the program always has: a filter written
// as display text and pattern separated by "|" or ":", option flags as
// numbers, and in/out arguments that receive the chosen path. The window
// reaches the dialogs through FileDialogs so tests can answer for the user.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <QFileDialog>
#include <QStringList>

class QWidget;

namespace torvix {

// Dialog option bits.
inline constexpr std::int32_t kDialogReadOnly = 0x1;
inline constexpr std::int32_t kDialogOverwritePrompt = 0x2;
inline constexpr std::int32_t kDialogHideReadOnly = 0x4;
inline constexpr std::int32_t kDialogEnableHook = 0x20;
inline constexpr std::int32_t kDialogEnableTemplate = 0x40;
inline constexpr std::int32_t kDialogFileMustExist = 0x1000;

// The filter of the track dialogs and their default extension.
inline constexpr std::string_view kTrackFilter = "NoLimits Tracks (*.nltrack)|*.nltrack";
inline constexpr std::string_view kTrackExtension = "nltrack";

// "|" and ":" become NUL separators and two NULs end the list.
std::string ConvertFilterSpec(std::string_view filter);

// Qt name filters ("Text (*.a *.b)") from a filter in either notation. Parts
// pair up as display text and pattern; several patterns are separated by ";".
// The list ends at an empty part or a display text without a pattern.
QStringList NameFiltersFromSpec(std::string_view filter);

// Flags actually used by each dialog: the caller's flags without hook and
// template bits, plus the bits its options ask for.
std::int32_t OpenDialogFlags(std::int32_t flags, bool file_must_exist, bool hide_read_only, bool read_only);
std::int32_t SaveDialogFlags(std::int32_t flags, bool overwrite_prompt);

struct DialogModes {
    QFileDialog::AcceptMode accept_mode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode file_mode = QFileDialog::AnyFile;
    QFileDialog::Options options;
};

// How a flags value maps onto a Qt dialog. There is no read-only check box,
// so the read-only bits pass through unchanged.
DialogModes DialogModesFromFlags(std::int32_t flags, bool save);

struct DialogRequest {
    bool save = false;
    std::string file_name;  // proposed name or full path; empty for none
    std::string initial_dir;
    std::string title;
    std::string filter_spec;
    std::int32_t filter_index = 1;  // 1-based; out of range picks the first
    std::string default_ext;
    std::int32_t flags = 0;  // as computed by OpenDialogFlags / SaveDialogFlags
};

// Sets up a dialog from a request without showing it.
void ConfigureFileDialog(QFileDialog& dialog, const DialogRequest& request);

class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // Returns true when the user chose a file: `file_name` then holds its full
    // path, `file_title` its name, `flags` the flags used and `filter_index`
    // the 1-based filter chosen. On cancel: false, both names and `flags`
    // emptied, `filter_index` 0. `filter_spec` is left in its converted (NUL
    // separated) form. `owner` may be null.
    virtual bool ShowOpenDialog(std::string& file_name, std::string& file_title, bool file_must_exist,
                                bool& read_only, bool hide_read_only, std::string& filter_spec,
                                std::int32_t& filter_index, const std::string& initial_dir, const std::string& title,
                                const std::string& default_ext, QWidget* owner, std::int32_t& flags) = 0;
    virtual bool ShowSaveDialog(std::string& file_name, std::string& file_title, bool overwrite_prompt,
                                std::string& filter_spec, std::int32_t& filter_index, const std::string& initial_dir,
                                const std::string& title, const std::string& default_ext, QWidget* owner,
                                std::int32_t& flags) = 0;
};

// The dialogs shown with Qt's own (non-native) file dialog.
class QtFileDialogs : public FileDialogs {
public:
    bool ShowOpenDialog(std::string& file_name, std::string& file_title, bool file_must_exist, bool& read_only,
                        bool hide_read_only, std::string& filter_spec, std::int32_t& filter_index,
                        const std::string& initial_dir, const std::string& title, const std::string& default_ext,
                        QWidget* owner, std::int32_t& flags) override;
    bool ShowSaveDialog(std::string& file_name, std::string& file_title, bool overwrite_prompt,
                        std::string& filter_spec, std::int32_t& filter_index, const std::string& initial_dir,
                        const std::string& title, const std::string& default_ext, QWidget* owner,
                        std::int32_t& flags) override;

private:
    bool Show(const DialogRequest& request, QWidget* owner, std::string& file_name, std::string& file_title,
              std::int32_t& filter_index, std::int32_t& flags);
};

}  // namespace torvix
