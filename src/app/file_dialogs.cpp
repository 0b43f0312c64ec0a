#include "app/file_dialogs.h"

#include <vector>

#include <QDir>
#include <QFile>
#include <QWidget>

namespace torvix::app {
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

struct NameFilter {
    QString text;
    QStringList patterns;
};

std::vector<NameFilter> ParseFilters(std::string_view filter) {
    std::vector<NameFilter> filters;
    const std::vector<std::string_view> parts = FilterParts(filter);
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() || parts[i + 1].empty()) break;
        NameFilter f{FromText(parts[i]).trimmed(), {}};
        for (const QString& pattern : FromText(parts[i + 1]).split(';', Qt::SkipEmptyParts)) {
            if (!pattern.trimmed().isEmpty()) f.patterns << pattern.trimmed();
        }
        if (f.patterns.isEmpty()) break;
        filters.push_back(std::move(f));
    }
    return filters;
}

// "nltrack" for a filter whose first pattern is "*.nltrack"; empty for one
// that names no single extension ("*.*", "*").
QString FilterSuffix(const NameFilter& filter) {
    const QString& first = filter.patterns.front();
    if (!first.startsWith("*.")) return {};
    const QString suffix = first.mid(2);
    return suffix.contains('*') || suffix.contains('?') ? QString() : suffix;
}

// Choosing another type in a save dialog makes its extension the default, so
// a bare name gets the chosen type's (the dialog itself swaps an extension
// the name already has).
void FollowTheChosenType(QFileDialog& dialog, const QStringList& names, const QStringList& suffixes) {
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, names, suffixes](const QString& name) {
        const qsizetype index = names.indexOf(name);
        if (index >= 0 && !suffixes[index].isEmpty()) dialog.setDefaultSuffix(suffixes[index]);
    });
}

}  // namespace

QStringList NameFiltersFromSpec(std::string_view filter) {
    QStringList filters;
    for (const NameFilter& f : ParseFilters(filter)) {
        const QString pattern_list = f.patterns.join(' ');
        // Display texts usually name their patterns already.
        if (f.text.endsWith("(" + pattern_list + ")")) {
            filters << f.text;
        } else {
            filters << f.text + " (" + pattern_list + ")";
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
    if (request.save && filters.size() > 1) {
        QStringList suffixes;
        for (const NameFilter& f : ParseFilters(request.filter_spec)) suffixes << FilterSuffix(f);
        FollowTheChosenType(dialog, filters, suffixes);
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

}  // namespace torvix::app
