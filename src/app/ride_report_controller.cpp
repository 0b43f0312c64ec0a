#include "app/ride_report_controller.h"

#include <QFileInfo>
#include <QWidget>

#include "app/ride_report_window.h"
#include "app/run_controller.h"
#include "app/track_session.h"

using namespace torvix::heartline;
using namespace torvix::refined;

namespace torvix::app {

RideReportController::RideReportController(const TrackSession& session, RunController& runs, FileDialogs* dialogs,
                                           QWidget* owner, std::function<QString()> export_folder)
    : QObject(owner),
      session_(session),
      runs_(runs),
      dialogs_(dialogs),
      owner_(owner),
      export_folder_(std::move(export_folder)) {}

RideReportWindow* RideReportController::window() const { return static_cast<RideReportWindow*>(window_.data()); }

void RideReportController::SetFinished(std::optional<FinishedRun> run) {
    const bool was = finished_.has_value();
    finished_ = run;
    if (was != finished_.has_value()) emit availableChanged(finished_.has_value());
}

void RideReportController::TrackChanging(bool new_track) {
    SetFinished(std::nullopt);
    reopen_ = window_ != nullptr && !new_track;
    if (window_ != nullptr) {
        geometry_ = window_->geometry();
        delete window_.data();
    }
}

void RideReportController::RunFinished(bool ok, const HeartlineParams& params, SolverMode mode) {
    SetFinished(ok && session_.modified() ? std::optional<FinishedRun>(FinishedRun{params, mode}) : std::nullopt);
    if (ok && reopen_) Open();
    reopen_ = false;
}

void RideReportController::Open() {
    if (runs_.running() || !session_.modified() || !finished_) return;
    if (window_ != nullptr) {
        window_->show();
        window_->raise();
        window_->activateWindow();
        return;
    }
    RideReportRun run;
    run.input = session_.loaded_track();
    run.result = session_.current_track();
    run.track_length = session_.length();
    run.params = finished_->params;
    run.mode = finished_->mode;
    const QFileInfo track(QString::fromStdString(session_.file()));
    run.track_name = track.fileName();
    const QString chosen = export_folder_ ? export_folder_() : QString();
    const QString folder = chosen.isEmpty() ? track.absolutePath() : chosen;
    run.export_file = QFileInfo(folder + "/" + track.completeBaseName() + "_ride.png").filePath();

    const ride::RideParams params{run.params.heartline, run.params.start_speed, run.params.end_speed,
                                  kRideReportStep};
    MeasuredRide measured = MeasureAgainstDrawn(run.result, run.input, params);
    auto* report = new RideReportWindow(std::move(run), std::move(measured), &runs_, dialogs_, owner_);
    report->setAttribute(Qt::WA_DeleteOnClose);
    if (geometry_.isValid()) report->setGeometry(geometry_);
    window_ = report;
    report->show();
    report->raise();
    report->activateWindow();
}

}  // namespace torvix::app
