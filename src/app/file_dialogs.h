// The open and save dialogs of the load and save commands.
//
// Callers describe a dialog the way the program always has: a filter written
// as display text and pattern separated by "|" or ":", and option flags as
// numbers. The window reaches the dialogs through FileDialogs so tests can
// answer for the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QFileDialog>
#include <QStringList>

class QWidget;

namespace torvix::app {

// Dialog option bits.
inline constexpr std::int32_t kDialogReadOnly = 0x1;
inline constexpr std::int32_t kDialogOverwritePrompt = 0x2;
inline constexpr std::int32_t kDialogHideReadOnly = 0x4;
inline constexpr std::int32_t kDialogFileMustExist = 0x1000;

// The filter of the track dialogs and their default extension.
inline constexpr std::string_view kTrackFilter = "NoLimits Tracks (*.nltrack)|*.nltrack";
inline constexpr std::string_view kTrackExtension = "nltrack";
// The save dialog also offers the new track's heart line as a NoLimits 2 element.
inline constexpr std::string_view kTrackSaveFilter =
    "NoLimits Tracks (*.nltrack)|*.nltrack|NoLimits 2 element (*.nl2elem)|*.nl2elem";
inline constexpr std::string_view kElementExtension = "nl2elem";

// Qt name filters ("Text (*.a *.b)") from a filter whose parts are separated
// by "|", ":" or NUL. Parts
// pair up as display text and pattern; several patterns are separated by ";".
// The list ends at an empty part or a display text without a pattern.
QStringList NameFiltersFromSpec(std::string_view filter);

// Flags actually used by each dialog: the caller's flags plus the bits its
// options ask for.
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

// Sets up a dialog from a request without showing it. In a save dialog with
// several types, the extension of the type the user chooses becomes the default.
void ConfigureFileDialog(QFileDialog& dialog, const DialogRequest& request);

// The track commands' dialogs: an existing file to load, or a file to save
// over after asking.
DialogRequest OpenTrackRequest(std::string file_name, std::string initial_dir);
DialogRequest SaveRequest(std::string file_name, std::string initial_dir, std::string title,
                          std::string filter, std::string default_ext);

class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // The full path of the file the user chose, or nothing when the dialog
    // was cancelled. `owner` may be null.
    virtual std::optional<std::string> Choose(const DialogRequest& request, QWidget* owner) = 0;
};

// The dialogs shown with Qt's own (non-native) file dialog.
class QtFileDialogs : public FileDialogs {
public:
    std::optional<std::string> Choose(const DialogRequest& request, QWidget* owner) override;
};

}  // namespace torvix::app
