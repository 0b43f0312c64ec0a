// The three commands: Load reads and measures a track, Heartline (Modify)
// starts a run of the loaded track and shows its outcome when the run is
// done, Save writes the run's result.
#include <QDir>
#include <QTimer>
#include <optional>

#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/parameter_field.h"
#include "app/refined_check.h"
#include "app/ride_report_controller.h"
#include "app/ride_report_window.h"
#include "app/run_controller.h"
#include "app/shape_widget.h"
#include "app/track_session.h"
#include "app/verdict_button.h"
#include "app/window_animator.h"
#include "app/window_logic.h"
#include "app/window_settings.h"
#include "nl2/element.h"
#include "nl2/element_export.h"
#include "texts/display_texts.h"
#include "texts/messages.h"
#include "texts/valley_texts.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::settings;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::app {

namespace {

QString FromStd(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

bool MainWindow::Busy() const { return runs_->running(); }

void MainWindow::OnLoadClicked() {
    if (Busy()) return;
    // The dialog closes over the window; the mouse move that follows is no drag.
    ignore_mouse_move_ = true;
    std::optional<std::string> chosen;
    if (services_.dialogs != nullptr)
        chosen = services_.dialogs->Choose(
            OpenTrackRequest(open_proposal_.toStdString(), settings_->LoadFolder(services_.app_folder)), this);
    open_proposal_ = chosen ? FromStd(*chosen) : QString();
    if (chosen) LoadFile(*chosen);
}

void MainWindow::OpenTrack(const QString& path) {
    if (Busy() || path.isEmpty()) return;
    ignore_mouse_move_ = true;
    // Qt hands out "C:/a/b.nltrack"; the folder rules read the system's own separators.
    open_proposal_ = QDir::toNativeSeparators(path);
    LoadFile(open_proposal_.toStdString());
}

void MainWindow::LoadFile(const std::string& file) {
    ride_->TrackChanging(true);
    ForgetVerdict();
    // A file that cannot be read, or whose spline cannot be measured, is a
    // failed load; the message line says why (the whole text as its tooltip).
    const TrackSession::LoadResult loaded = session_->Load(file);
    if (!loaded.status.ok()) {
        if (services_.message_boxes != nullptr)
            services_.message_boxes->Warning(this, "Load Error", FromStd(std::string(kTrackLoadError)));
        ShowMessage(FromStd(loaded.status.message()), 3000, FromStd(loaded.status.message() + "\n" + file));
        return;
    }
    animator_->StopRing();
    lights_[0]->show();
    lights_[1]->hide();
    lights_[2]->hide();
    ShowEndMeasures();

    if (!settings_->WantsSegmentLength()) {
        settings_->KeepWantsSegmentLengthOff();
    } else if (const auto segments = ProposedSegmentsText(session_->length(), settings_->SegmentLength())) {
        fields_[kSegments]->setText(FromStd(*segments));
    }
    if (!loaded.skipped.empty()) {
        std::string all;
        for (const SkippedChunk& s : loaded.skipped) {
            if (!all.empty()) all += '\n';
            all += SkippedChunkText(s);
        }
        ShowMessage(FromStd(SkippedChunksMessage(loaded.skipped)), 3000, FromStd(all));
    }
    ShowLength(session_->length());

    const std::string folder = GetFilePath(file);
    settings_->SetLoadFolder(folder);
    const std::string save_folder = ProposedSaveFolder(settings_->SaveFolder(folder), folder);
    save_folder_ = FromStd(save_folder);
    save_file_ = FromStd(ProposedSavePath(save_folder, file));
}

// Saves the run's new track, or its heart line as a NoLimits 2 element when
// that type is chosen; like the track, the element exists only after a run.
void MainWindow::OnSaveClicked() {
    if (Busy() || !session_->modified()) return;
    std::optional<std::string> chosen;
    if (services_.dialogs != nullptr) {
        const bool element = nl2::HasElementExtension(save_file_.toStdString());
        DialogRequest request =
            SaveRequest(save_file_.toStdString(), save_folder_.toStdString(), "Save Track As...",
                        std::string(kTrackSaveFilter), std::string(element ? kElementExtension : kTrackExtension));
        request.filter_index = element ? 2 : 1;
        chosen = services_.dialogs->Choose(request, this);
    }
    save_file_ = chosen ? FromStd(*chosen) : QString();
    if (!chosen) return;

    settings_->SetSaveFolder(GetFilePath(*chosen));
    if (nl2::HasElementExtension(*chosen)) {
        SaveElement(*chosen);
        return;
    }
    TrackIoError error;
    if (!WriteTrackFile(*chosen, session_->current_track(), &error)) {
        // The writer replaces the target only once the new file is whole, so
        // the old file is still there; the light stays dark.
        if (services_.message_boxes != nullptr)
            services_.message_boxes->Warning(this, "Save Error",
                                             FromStd(std::string(kTrackSaveError)) + "\n\n" + FromStd(error.message));
        return;
    }
    lights_[2]->show();
}

void MainWindow::SaveElement(const std::string& file) {
    const nl2::WriteResult written =
        nl2::WriteElementFile(session_->current_track(), run_heartline_, nl2::kDefaultSpacing, file);
    if (!written.status.ok()) {
        // Written in one step: an existing file is as it was, and the light stays dark.
        if (services_.message_boxes != nullptr)
            services_.message_boxes->Warning(this, "Save Error",
                                             "Error Saving NoLimits 2 Element!\n\n" + FromStd(written.status.message()));
        return;
    }
    lights_[2]->show();
    // The element is the heart line: NoLimits 2 must put its rails the same height below it.
    const QString height = FromStd(FormatFixed(run_heartline_, 2));
    ShowMessage("Set spline position to Heart Line, " + height + " m", 8000,
                "Written " + FromStd(written.written.string()) + ".\n" +
                    FromStd(SplinePositionAdvice(run_heartline_)));
}

void MainWindow::OnModifyClicked() {
    if (Busy() || !session_->loaded()) return;
    session_->RunStarted();
    lights_[1]->hide();
    ride_->TrackChanging(false);
    ForgetVerdict();

    const ParameterTexts texts = FieldTexts();
    const ModifyRequest request = ReadModifyParameters(ModifyFieldTexts{
        texts.segments, texts.precision, texts.filter, texts.heartline, texts.start_speed, texts.end_speed});
    if (!request.parameters) {
        // The current track is the loaded track again, so there is nothing to save.
        ShowMessage(FromStd(request.refusal), 3000, FromStd(request.refusal_detail));
        return;
    }
    settings_->SetParameters(texts);
    settings_->SetSegmentLength(SegmentLengthText(session_->length(), texts.segments));
    animator_->RunStarted();

    const ModifyParameters& p = *request.parameters;
    HeartlineParams params;
    params.segments = p.segments;
    params.precision = p.precision;
    params.heartline = p.heartline;
    params.start_speed = p.start_speed;
    params.end_speed = p.end_speed;
    params.filter = p.filter;
    RunRequest run{session_->loaded_track(), session_->length(), banking_mode_, params, true,
                   ride::RideParams{params.heartline, params.start_speed, params.end_speed, kRideReportStep}};
    runs_->Start(
        std::move(run), this, [this, params](RunOutcome& outcome) { RunFinished(outcome, params); },
        [this](double friction) { ShowFriction(FromStd(FormatFriction(friction))); });
}

void MainWindow::RunFinished(RunOutcome& outcome, const HeartlineParams& params) {
    if (!outcome.result.status.ok() && !outcome.cancelled && services_.message_boxes != nullptr) {
        // The valley is the expected failure and comes with its own text; the
        // solver's other refusals say what is wrong instead of blaming speeds.
        const std::string& why = outcome.result.status.message();
        services_.message_boxes->Warning(this, "Horrible!", why.empty() ? QString(kValleyMessage) : FromStd(why));
    }
    if (outcome.ok()) session_->RunSucceeded(std::move(outcome.track));
    animator_->RunEnded();
    ShowEndMeasures();
    if (outcome.ok()) {
        ShowMessage("OK", 1500);
        lights_[1]->show();
        lights_[2]->hide();
    } else {
        ShowMessage("- ERROR -", 3000, ValleyHint(outcome));
    }
    const QString mode = QString::fromLatin1(ModeName(banking_mode_));
    run_mode_label_->setText(mode);
    run_mode_label_->setToolTip(outcome.ok() ? QString("Banking method of the last run: %1").arg(mode)
                                             : QString("Banking method of the last run: %1 (the run failed)").arg(mode));
    ride_->RunFinished(outcome.ok(), params, banking_mode_);
    if (!outcome.ok() || !outcome.ride) return;
    run_heartline_ = params.heartline;
    report_button_->ShowVerdict(&*outcome.ride);
    // Would the refined method ride better? Tried beside, offered when it does.
    if (banking_mode_ == SolverMode::kLiteral)
        refined_check_->Start(session_->loaded_track(), session_->length(), params, *outcome.ride);
}

// For a run that valleyed: where the train stops and the start speed that clears the track.
QString MainWindow::ValleyHint(const RunOutcome& outcome) const {
    if (outcome.result.status.ok() || outcome.result.status.message() != kValleyMessage) return {};
    if (!outcome.valley) return QString::fromLatin1(kValleyMessage);
    const SolverValley& v = *outcome.valley;
    QString hint =
        FromStd(ValleySentence(v.s, "curve " + std::to_string(v.curve) + " of the loaded track", v.min_start_speed));
    if (banking_mode_ != SolverMode::kLiteral) hint += "\n(Found with the literal method's speeds.)";
    return hint;
}

void MainWindow::RunEnded() {
    emit runFinished();
    // A close asked for during the run: now that it has unwound.
    if (std::exchange(close_after_run_, false)) QTimer::singleShot(0, this, &QWidget::close);
}

}  // namespace torvix::app
