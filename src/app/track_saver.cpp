#include "app/track_saver.h"

#include <optional>

#include "app/file_dialogs.h"
#include "app/message_boxes.h"
#include "app/std_text.h"
#include "app/window_logic.h"
#include "app/window_settings.h"
#include "nl2/element.h"
#include "nl2/element_export.h"
#include "texts/display_texts.h"
#include "texts/messages.h"
#include "track/track_io.h"

using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::app {

void TrackSaver::Propose(const std::string& loaded_file) {
    const std::string folder = GetFilePath(loaded_file);
    const std::string save_folder = ProposedSaveFolder(settings_.SaveFolder(folder), folder);
    folder_ = FromStd(save_folder);
    file_ = FromStd(ProposedSavePath(save_folder, loaded_file));
}

TrackSaver::Saved TrackSaver::Save(QWidget* owner, const Track& track, double heartline) {
    std::optional<std::string> chosen;
    if (dialogs_ != nullptr) {
        const bool element = nl2::HasElementExtension(file_.toStdString());
        DialogRequest request =
            SaveRequest(file_.toStdString(), folder_.toStdString(), "Save Track As...", std::string(kTrackSaveFilter),
                        std::string(element ? kElementExtension : kTrackExtension));
        request.filter_index = element ? 2 : 1;
        chosen = dialogs_->Choose(request, owner);
    }
    file_ = chosen ? FromStd(*chosen) : QString();
    if (!chosen) return {};

    settings_.SetSaveFolder(GetFilePath(*chosen));
    if (nl2::HasElementExtension(*chosen)) return SaveElement(owner, track, heartline, *chosen);
    TrackIoError error;
    if (!WriteTrackFile(*chosen, track, &error)) {
        // The writer replaces the target only once the new file is whole, so
        // the old file is still there; the light stays dark.
        if (boxes_ != nullptr)
            boxes_->Warning(owner, "Save Error", FromStd(std::string(kTrackSaveError)) + "\n\n" + FromStd(error.message));
        return {};
    }
    return {true, {}, {}};
}

TrackSaver::Saved TrackSaver::SaveElement(QWidget* owner, const Track& track, double heartline,
                                          const std::string& file) {
    const nl2::WriteResult written = nl2::WriteElementFile(track, heartline, nl2::kDefaultSpacing, file);
    if (!written.status.ok()) {
        // Written in one step: an existing file is as it was, and the light stays dark.
        if (boxes_ != nullptr)
            boxes_->Warning(owner, "Save Error",
                            "Error Saving NoLimits 2 Element!\n\n" + FromStd(written.status.message()));
        return {};
    }
    // The element is the heart line: NoLimits 2 must put its rails the same height below it.
    return {true, "Set spline position to Heart Line, " + FromStd(FormatFixed(heartline, 2)) + " m",
            "Written " + FromStd(written.written.string()) + ".\n" + FromStd(SplinePositionAdvice(heartline))};
}

}  // namespace torvix::app
