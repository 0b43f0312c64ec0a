// The main window's additions beyond its original face: the ride report
// control, the banking mode switch and the valley hint. They sit on free
// parts of the skin (under the results panel and under the status lamps), so
// every original control keeps its place and text.
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>

#include "app/click_label.h"
#include "app/main_window.h"
#include "app/ride_report_window.h"
#include "app/run_controller.h"
#include "heartline/valley.h"

namespace torvix {

namespace {

constexpr const char* kModeSection = "Preferences";
constexpr const char* kModeEntry = "Mode";

// On the skin's plain strip between the results panel and the footer buttons.
constexpr TwipRect kModeSwitchRect{3300, 4215, 1680, 300};
constexpr TwipRect kReportRect{5070, 4215, 1365, 300};
// Under the three status lamps, inside the results panel.
constexpr TwipRect kRunModeRect{3270, 2810, 600, 230};

const char* const kSmallButtonStyle =
    "QLabel { color: rgb(180, 200, 220); background: rgb(33, 37, 41); border: 1px solid rgb(74, 82, 92);"
    " border-radius: 4px; padding: 0 4px; font-size: 11px; }"
    "QLabel:hover { border-color: rgb(130, 150, 172); }"
    "QLabel:disabled { color: rgb(88, 96, 106); border-color: rgb(52, 58, 66); }";

QString Fixed(double v, int digits) { return QString::number(v, 'f', digits); }

}  // namespace

RideReportWindow* MainWindow::ride_report_window() const { return ride_report_; }

void MainWindow::BuildRideControls() {
    mode_button_ = AddLabel("btnMode", kModeSwitchRect);
    mode_button_->setStyleSheet(kSmallButtonStyle);
    mode_button_->setAlignment(Qt::AlignCenter);
    mode_button_->setCursor(Qt::PointingHandCursor);
    mode_button_->setToolTip(
        "Banking method for the next run (click or Ctrl+B to switch):\n"
        "literal - the classic force-aligned banking;\n"
        "refined - airtime left upright, smoothing in seconds, a bound on the roll rate.");
    connect(mode_button_, &ClickLabel::clicked, this, [this] {
        SetBankingMode(banking_mode_ == SolverMode::kLiteral ? SolverMode::kRefined : SolverMode::kLiteral);
    });

    report_button_ = AddLabel("btnReport", kReportRect);
    report_button_->setText("Ride report...");
    report_button_->setStyleSheet(kSmallButtonStyle);
    report_button_->setAlignment(Qt::AlignCenter);
    report_button_->setCursor(Qt::PointingHandCursor);
    report_button_->setToolTip(
        "Ride report of the new track (Ctrl+R): speed, seat forces and roll along the heart line, "
        "with the loaded track's vertices marked. Available after a successful run.");
    report_button_->setEnabled(false);
    connect(report_button_, &ClickLabel::clicked, this, &MainWindow::OpenRideReport);

    run_mode_label_ = AddLabel("Mode_Label", kRunModeRect);
    QFont tag = font();
    tag.setPixelSize(9);
    run_mode_label_->setFont(tag);
    QPalette p = run_mode_label_->palette();
    p.setColor(QPalette::WindowText, QColor(140, 156, 172));
    run_mode_label_->setPalette(p);

    auto* report_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    connect(report_key, &QShortcut::activated, this, &MainWindow::OpenRideReport);
    auto* mode_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this);
    connect(mode_key, &QShortcut::activated, mode_button_, &ClickLabel::clicked);
    BuildSuggestControl();
}

void MainWindow::ReadBankingMode() {
    const QString stored = Setting(kModeSection, kModeEntry, ModeName(SolverMode::kLiteral)).trimmed().toLower();
    banking_mode_ = ParseMode(stored.toStdString()).value_or(SolverMode::kLiteral);
    mode_button_->setText(QString("Banking: %1").arg(QString::fromLatin1(ModeName(banking_mode_))));
}

void MainWindow::SetBankingMode(SolverMode mode) {
    if (run_->running()) return;  // the running solve keeps the mode it started with
    banking_mode_ = mode;
    SaveSetting(kModeSection, kModeEntry, ModeName(mode));
    mode_button_->setText(QString("Banking: %1").arg(QString::fromLatin1(ModeName(mode))));
}

void MainWindow::RideTrackChanged(const QString& new_file) {
    if (!new_file.isEmpty()) ride_track_file_ = new_file;
    finished_run_.reset();
    report_button_->setEnabled(false);
    run_mode_label_->clear();
    run_mode_label_->setToolTip(QString());
    // A report left open across a run is rebuilt for the new track when the run succeeds.
    reopen_ride_report_ = ride_report_ != nullptr && new_file.isEmpty();
    if (ride_report_ != nullptr) {
        ride_report_geometry_ = ride_report_->geometry();
        delete ride_report_.data();
    }
}

void MainWindow::RideRunFinished(bool ok, const HeartlineParams& params) {
    const QString mode = QString::fromLatin1(ModeName(banking_mode_));
    run_mode_label_->setText(mode);
    run_mode_label_->setToolTip(ok ? QString("Banking method of the last run: %1").arg(mode)
                               : QString("Banking method of the last run: %1 (the run failed)").arg(mode));
    if (ok) finished_run_ = FinishedRun{params, banking_mode_};
    else finished_run_.reset();
    report_button_->setEnabled(ok && track_modified_);
    if (ok && reopen_ride_report_) OpenRideReport();
    reopen_ride_report_ = false;
}

void MainWindow::OpenRideReport() {
    if (run_->running() || !track_modified_ || !finished_run_) return;
    if (ride_report_ != nullptr) {
        ride_report_->show();
        ride_report_->raise();
        ride_report_->activateWindow();
        return;
    }
    RideReportRun run;
    run.input = run_->loaded_track();
    run.result = run_->current_track();
    run.track_length = run_->track_length();
    run.params = finished_run_->params;
    run.mode = finished_run_->mode;
    const QFileInfo track(ride_track_file_);
    run.track_name = track.fileName();
    const QString folder = save_folder_.isEmpty() ? track.absolutePath() : save_folder_;
    run.export_file = QFileInfo(folder + "/" + track.completeBaseName() + "_ride.png").filePath();

    auto* report = new RideReportWindow(std::move(run), *run_, services_.dialogs, this);
    report->setAttribute(Qt::WA_DeleteOnClose);
    if (ride_report_geometry_.isValid()) report->setGeometry(ride_report_geometry_);
    ride_report_ = report;
    report->show();
    report->raise();
    report->activateWindow();
}

QString MainWindow::ValleyHint(const SolveResult& result, const HeartlineParams& params) const {
    if (result.ok || result.message != kValleyMessage) return {};
    const std::optional<SolverValley> valley = FindSolverValley(run_->loaded_track(), run_->track_length(), params);
    if (!valley) return QString::fromLatin1(kValleyMessage);
    QString hint = QString("The train stops %1 m along the track, on curve %2 of the loaded track.\n"
                           "A start speed of %3 m/s clears the track.")
                       .arg(Fixed(valley->s, 1))
                       .arg(valley->curve)
                       .arg(Fixed(valley->min_start_speed, 1));
    if (banking_mode_ != SolverMode::kLiteral) hint += "\n(Found with the literal method's speeds.)";
    return hint;
}

}  // namespace torvix
