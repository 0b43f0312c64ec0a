#include "app/file_dialogs.h"

#include <vector>

#include <QDir>
#include <QFile>
#include <QWidget>

namespace torvix {
namespace {

bool IsFilterSeparator(char c) { return c == '|' || c == ':' || c == '\0'; }

std::vector<std::string_view> FilterParts(std::string_view filter) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= filter.size(); ++i) {
        if (i == filter.size() || IsFilterSeparator(filter[i])) {
            parts.push_back(filter.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

QString FromText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string PathText(const QString& path) { return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString(); }

}  // namespace

QStringList NameFiltersFromSpec(std::string_view filter) {
    QStringList filters;
    const std::vector<std::string_view> parts = FilterParts(filter);
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() || parts[i + 1].empty()) break;
        const QString text = FromText(parts[i]).trimmed();
        QStringList patterns;
        for (const QString& pattern : FromText(parts[i + 1]).split(';', Qt::SkipEmptyParts)) {
            if (!pattern.trimmed().isEmpty()) patterns << pattern.trimmed();
        }
        if (patterns.isEmpty()) break;
        const QString pattern_list = patterns.join(' ');
        // Display texts usually name their patterns already.
        if (text.endsWith("(" + pattern_list + ")")) {
            filters << text;
        } else {
            filters << text + " (" + pattern_list + ")";
        }
    }
    return filters;
}

std::int32_t OpenDialogFlags(std::int32_t flags, bool file_must_exist, bool hide_read_only, bool read_only) {
    if (file_must_exist) flags |= kDialogFileMustExist;
    if (hide_read_only) flags |= kDialogHideReadOnly;
    if (read_only) flags |= kDialogReadOnly;
    return flags;
}

std::int32_t SaveDialogFlags(std::int32_t flags, bool overwrite_prompt) {
    if (overwrite_prompt) flags |= kDialogOverwritePrompt;
    return flags | kDialogHideReadOnly;
}

DialogModes DialogModesFromFlags(std::int32_t flags, bool save) {
    DialogModes modes;
    modes.options = QFileDialog::DontUseNativeDialog;
    if (save) {
        modes.accept_mode = QFileDialog::AcceptSave;
        modes.file_mode = QFileDialog::AnyFile;
        if ((flags & kDialogOverwritePrompt) == 0) modes.options |= QFileDialog::DontConfirmOverwrite;
    } else {
        modes.accept_mode = QFileDialog::AcceptOpen;
        modes.file_mode = (flags & kDialogFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile;
    }
    return modes;
}

void ConfigureFileDialog(QFileDialog& dialog, const DialogRequest& request) {
    const DialogModes modes = DialogModesFromFlags(request.flags, request.save);
    dialog.setOptions(modes.options);
    dialog.setAcceptMode(modes.accept_mode);
    dialog.setFileMode(modes.file_mode);
    if (!request.title.empty()) dialog.setWindowTitle(FromText(request.title));

    const QStringList filters = NameFiltersFromSpec(request.filter_spec);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const bool in_range = request.filter_index >= 1 && request.filter_index <= filters.size();
        dialog.selectNameFilter(filters[in_range ? request.filter_index - 1 : 0]);
    }

    std::string_view ext = request.default_ext;
    while (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
    dialog.setDefaultSuffix(FromText(ext));

    if (!request.initial_dir.empty()) {
        dialog.setDirectory(QDir::fromNativeSeparators(QFile::decodeName(request.initial_dir.c_str())));
    }
    // A proposed full path also moves the dialog to its folder.
    if (!request.file_name.empty()) {
        dialog.selectFile(QDir::fromNativeSeparators(QFile::decodeName(request.file_name.c_str())));
    }
}

DialogRequest OpenTrackRequest(std::string file_name, std::string initial_dir) {
    DialogRequest request;
    request.file_name = std::move(file_name);
    request.initial_dir = std::move(initial_dir);
    request.title = "Load Track...";
    request.filter_spec = std::string(kTrackFilter);
    request.default_ext = std::string(kTrackExtension);
    request.flags = OpenDialogFlags(0, true, true, false);
    return request;
}

DialogRequest SaveRequest(std::string file_name, std::string initial_dir, std::string title, std::string filter,
                          std::string default_ext) {
    DialogRequest request;
    request.save = true;
    request.file_name = std::move(file_name);
    request.initial_dir = std::move(initial_dir);
    request.title = std::move(title);
    request.filter_spec = std::move(filter);
    request.default_ext = std::move(default_ext);
    request.flags = SaveDialogFlags(0, true);
    return request;
}

std::optional<std::string> QtFileDialogs::Choose(const DialogRequest& request, QWidget* owner) {
    QFileDialog dialog(owner);
    ConfigureFileDialog(dialog, request);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const QStringList chosen = accepted ? dialog.selectedFiles() : QStringList();
    if (chosen.isEmpty()) return std::nullopt;
    return PathText(chosen.front());
}

}  // namespace torvix
