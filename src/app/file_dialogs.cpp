#include "app/file_dialogs.h"

#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

std::string ConvertFilterSpec(std::string_view filter) {
    std::string converted(filter);
    for (char& c : converted) {
        if (c == '|' || c == ':') c = '\0';
    }
    converted.append(2, '\0');
    return converted;
}

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
    flags &= ~(kDialogEnableHook | kDialogEnableTemplate);
    if (file_must_exist) flags |= kDialogFileMustExist;
    if (hide_read_only) flags |= kDialogHideReadOnly;
    if (read_only) flags |= kDialogReadOnly;
    return flags;
}

std::int32_t SaveDialogFlags(std::int32_t flags, bool overwrite_prompt) {
    flags &= ~(kDialogEnableHook | kDialogEnableTemplate);
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

bool QtFileDialogs::ShowOpenDialog(std::string& file_name, std::string& file_title, bool file_must_exist,
                                   bool& read_only, bool hide_read_only, std::string& filter_spec,
                                   std::int32_t& filter_index, const std::string& initial_dir,
                                   const std::string& title, const std::string& default_ext, QWidget* owner,
                                   std::int32_t& flags) {
    const DialogRequest request{false,       file_name, initial_dir,
                                title,       filter_spec, filter_index,
                                default_ext, OpenDialogFlags(flags, file_must_exist, hide_read_only, read_only)};
    filter_spec = ConvertFilterSpec(filter_spec);
    const bool chosen = Show(request, owner, file_name, file_title, filter_index, flags);
    if (chosen && (flags & kDialogReadOnly)) read_only = true;
    return chosen;
}

bool QtFileDialogs::ShowSaveDialog(std::string& file_name, std::string& file_title, bool overwrite_prompt,
                                   std::string& filter_spec, std::int32_t& filter_index,
                                   const std::string& initial_dir, const std::string& title,
                                   const std::string& default_ext, QWidget* owner, std::int32_t& flags) {
    const DialogRequest request{true,        file_name,   initial_dir,
                                title,       filter_spec, filter_index,
                                default_ext, SaveDialogFlags(flags, overwrite_prompt)};
    filter_spec = ConvertFilterSpec(filter_spec);
    return Show(request, owner, file_name, file_title, filter_index, flags);
}

bool QtFileDialogs::Show(const DialogRequest& request, QWidget* owner, std::string& file_name,
                         std::string& file_title, std::int32_t& filter_index, std::int32_t& flags) {
    QFileDialog dialog(owner);
    ConfigureFileDialog(dialog, request);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const QStringList chosen = accepted ? dialog.selectedFiles() : QStringList();
    if (chosen.isEmpty()) {
        file_name.clear();
        file_title.clear();
        flags = 0;
        filter_index = 0;
        return false;
    }
    file_name = PathText(chosen.front());
    file_title = QFile::encodeName(QFileInfo(chosen.front()).fileName()).toStdString();
    flags = request.flags;
    const qsizetype index = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
    filter_index = index >= 0 ? static_cast<std::int32_t>(index) + 1 : request.filter_index;
    return true;
}

}  // namespace torvix
