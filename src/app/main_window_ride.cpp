// The controls added to the window's original face: the banking mode switch,
// the ride report control with the last run's verdict, the last run's method
// and Suggest.
#include <QFontInfo>
#include <QKeySequence>
#include <QShortcut>

#include "app/click_label.h"
#include "app/main_window.h"
#include "app/message_line.h"
#include "app/parameter_field.h"
#include "app/refined_check.h"
#include "app/ride_report_controller.h"
#include "app/suggest_controller.h"
#include "app/track_session.h"
#include "app/widget_style.h"
#include "app/window_layout.h"
#include "app/window_logic.h"
#include "app/window_settings.h"
#include "ride/ride_summary.h"
#include "ride/verdict.h"

using namespace torvix::refined;
using namespace torvix::settings;

namespace torvix::app {

namespace {

constexpr const char* kReportText = "Ride report...";
constexpr const char* kReportTip =
    "Ride report of the new track (Ctrl+R): speed, seat forces and roll along the heart line, with the loaded "
    "track's vertices marked. Available after a successful run.";

// A force as the verdict gives it: 241 g, 3.5 g, 0.16 g.
QString Force(double g) {
    const double a = std::abs(g);
    return QString::number(g, 'f', a >= 10 ? 0 : a >= 1 ? 1 : 2) + " g";
}

// The figures behind a verdict, one "Label: value" line each, as the report's table shows them.
QString VerdictFigures(const ride::RideReport& ride) {
    QStringList lines;
    for (const ride::SummaryRow& row : ride::SummaryRows(ride)) {
        for (const char* key : {"lateral_rms", "lateral_max", "unasked_roll", "roll_rate_max"})
            if (row.key == key)
                lines << QString::fromStdString(row.label + ": " + ride::RowText(row, ride::UnitStyle::kSymbols));
    }
    return lines.join('\n');
}

// The style sheet sets a small button's font: a face too long for it is set smaller.
void FitFace(QLabel* button, const QString& plain) {
    QFont base = button->font();
    base.setPixelSize(11);
    const int room = button->width() - 10;  // the style's border and padding
    const int size = QFontInfo(FontToFit(base, plain, room)).pixelSize();
    button->setStyleSheet(size >= 11 ? QString(kSmallButtonStyle)
                                     : QString(kSmallButtonStyle) + QString("QLabel { font-size: %1px; }").arg(size));
}

}  // namespace

ClickLabel* MainWindow::AddSmallButton(const char* name, const TwipRect& r, const QString& text,
                                       const char* tooltip) {
    ClickLabel* button = AddLabel(name, r);
    button->setText(text);
    button->setStyleSheet(kSmallButtonStyle);
    button->setAlignment(Qt::AlignCenter);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(tooltip);
    return button;
}

void MainWindow::BuildAddedControls() {
    mode_button_ = AddSmallButton("btnMode", layout::kModeSwitch, QString(),
                                  "Banking method for the next run (click or Ctrl+B to switch):\n"
                                  "literal - the classic force-aligned banking;\n"
                                  "refined - airtime left upright, smoothing in seconds, a bound on the roll rate.");
    connect(mode_button_, &ClickLabel::clicked, this, [this] {
        SetBankingMode(banking_mode_ == SolverMode::kLiteral ? SolverMode::kRefined : SolverMode::kLiteral);
    });
    report_button_ = AddSmallButton("btnReport", layout::kReport, kReportText, kReportTip);
    report_button_->setEnabled(false);
    connect(report_button_, &ClickLabel::clicked, this, &MainWindow::OpenRideReport);
    connect(ride_, &RideReportController::availableChanged, report_button_, &QWidget::setEnabled);
    connect(refined_check_, &RefinedCheck::ridesBetter, this, &MainWindow::OfferRefined);

    run_mode_label_ = AddLabel("Mode_Label", layout::kRunMode);
    QFont tag = font();
    tag.setPixelSize(9);
    run_mode_label_->setFont(tag);
    QPalette p = run_mode_label_->palette();
    p.setColor(QPalette::WindowText, QColor(140, 156, 172));
    run_mode_label_->setPalette(p);

    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this), &QShortcut::activated, this,
            &MainWindow::OpenRideReport);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this), &QShortcut::activated, mode_button_,
            &ClickLabel::clicked);

    suggest_button_ = AddSmallButton(
        "btnSuggest", layout::kSuggest, "Suggest",
        "Suggest Segments, Precision and Filter for the loaded track (Ctrl+G): tries a modest grid with\n"
        "your heartline, speeds and banking method and picks the lowest lateral RMS whose heart line\n"
        "stays within 0.25 m of the path you drew. The fields are only filled; run Heartline as usual.");
    connect(suggest_button_, &ClickLabel::clicked, this, &MainWindow::SuggestSettings);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this), &QShortcut::activated, this,
            &MainWindow::SuggestSettings);
    connect(suggest_, &SuggestController::message, this, &MainWindow::ShowMessage);
    connect(suggest_, &SuggestController::runningChanged, suggest_button_, [this](bool running) {
        suggest_button_->setEnabled(!running);
    });
    connect(suggest_, &SuggestController::suggested, this, [this](int segments, int precision, int filter) {
        fields_[kSegments]->setText(QString::number(segments));
        fields_[kPrecision]->setText(QString::number(precision));
        fields_[kFilter]->setText(QString::number(filter));
    });
}

RideReportWindow* MainWindow::ride_report_window() const { return ride_->window(); }
bool MainWindow::checking_refined() const { return refined_check_->running(); }

void MainWindow::ShowVerdict(const ride::RideReport* ride) {
    if (ride == nullptr) {
        verdict_tip_.clear();
        FitFace(report_button_, kReportText);
        report_button_->setText(kReportText);
        report_button_->setToolTip(kReportTip);
        return;
    }
    const ride::RideVerdict verdict = ride::JudgeRide(*ride);
    // The level on the face, in its colour; what decides it and the figures in the tooltip.
    const QString level = QString::fromLatin1(ride::VerdictName(verdict.level));
    // Sized before the text is set: a rich text keeps the font it was laid out in.
    FitFace(report_button_, "Ride: " + level);
    report_button_->setText(
        QString("Ride: <span style='color:%1'>%2</span>").arg(VerdictColour(verdict.level).name(), level));
    verdict_tip_ = "Ride: " + QString::fromStdString(verdict.text) + "\n" + VerdictFigures(*ride);
    report_button_->setToolTip(verdict_tip_ + "\n\nClick (or Ctrl+R) for the ride report of the new track.");
}

void MainWindow::ForgetVerdict() {
    refined_check_->Drop();
    message_->DropNext();
    ShowVerdict(nullptr);
}

void MainWindow::OfferRefined(const ride::RideVerdict& verdict, double rms) {
    const QString offer = "Refined banking rides better here: " + Force(rms) + " RMS";
    const QString full = offer + " (" + QString::fromStdString(verdict.text) +
                         ").\nSwitch Banking to refined (Ctrl+B) and run Heartline to use it.";
    message_->ShowNext(offer, 8000, full);
    verdict_tip_ += "\n\n" + full;
    report_button_->setToolTip(verdict_tip_ + "\n\nClick (or Ctrl+R) for the ride report of the new track.");
}
bool MainWindow::suggesting() const { return suggest_->running(); }

void MainWindow::OpenRideReport() { ride_->Open(); }

void MainWindow::ShowBankingMode(SolverMode mode) {
    banking_mode_ = mode;
    mode_button_->setText(QString("Banking: %1").arg(QString::fromLatin1(ModeName(mode))));
}

void MainWindow::SetBankingMode(SolverMode mode) {
    if (Busy()) return;  // the running solve keeps the mode it started with
    ShowBankingMode(mode);
    settings_->SetMode(mode);
}

void MainWindow::SuggestSettings() {
    if (!session_->loaded()) {
        ShowMessage("Load first", 1500, "Load a track to have settings suggested for it.");
        return;
    }
    if (Busy() || suggest_->running()) return;
    // Heartline and speeds as Heartline would read them; the three swept fields may hold anything.
    const ParameterTexts swept = DefaultParameterTexts();
    const ParameterTexts texts = FieldTexts();
    const ModifyRequest request = ReadModifyParameters(ModifyFieldTexts{
        swept.segments, swept.precision, swept.filter, texts.heartline, texts.start_speed, texts.end_speed});
    if (!request.parameters) {
        ShowMessage(QString::fromStdString(request.refusal), 3000, QString::fromStdString(request.refusal_detail));
        return;
    }
    sweep::SweepSettings base;
    base.heartline = request.parameters->heartline;
    base.start_speed = request.parameters->start_speed;
    base.end_speed = request.parameters->end_speed;
    base.mode = banking_mode_;
    suggest_->Start(base);
}

}  // namespace torvix::app
