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
#include "app/std_text.h"
#include "app/track_saver.h"
#include "app/track_session.h"
#include "app/verdict_button.h"
#include "app/window_animator.h"
#include "app/window_logic.h"
#include "app/window_settings.h"
#include "texts/display_texts.h"
#include "texts/messages.h"
#include "texts/valley_texts.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::settings;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::app {

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

    settings_->SetLoadFolder(GetFilePath(file));
    saver_->Propose(file);
}

// Saves the run's new track, or its heart line as a NoLimits 2 element when
// that type is chosen; like the track, the element exists only after a run.
void MainWindow::OnSaveClicked() {
    if (Busy() || !session_->modified()) return;
    const TrackSaver::Saved saved = saver_->Save(this, session_->current_track(), run_heartline_);
    if (!saved.written) return;
    lights_[2]->show();
    if (!saved.message.isEmpty()) ShowMessage(saved.message, 8000, saved.full_message);
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
        ShowMessage("- ERROR -", 3000, ValleyHint(outcome, banking_mode_));
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

void MainWindow::RunEnded() {
    emit runFinished();
    // A close asked for during the run: now that it has unwound.
    if (std::exchange(close_after_run_, false)) QTimer::singleShot(0, this, &QWidget::close);
}

}  // namespace torvix::app
