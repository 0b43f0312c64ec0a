// The controls added to the window's original face: the banking mode switch,
// the ride report control (its verdict is the button's own), the last run's
// method and Suggest.
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
#include "app/verdict_button.h"
#include "app/widget_style.h"
#include "app/window_layout.h"
#include "app/window_logic.h"
#include "app/window_settings.h"
#include "ride/verdict.h"

using namespace torvix::refined;
using namespace torvix::settings;

namespace torvix::app {

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
    report_button_ = new VerdictButton(this);
    report_button_->setObjectName("btnReport");
    report_button_->setGeometry(TwipsToPixels(layout::kReport));
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

void MainWindow::ForgetVerdict() {
    refined_check_->Drop();
    message_->DropNext();
    report_button_->ShowVerdict(nullptr);
}

void MainWindow::OfferRefined(const ride::RideVerdict& verdict, double rms) {
    const VerdictButton::Offer offer = report_button_->OfferRefined(verdict, rms);
    message_->ShowNext(offer.short_text, 8000, offer.full_text);
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
    if (!Busy()) suggest_->Request(FieldTexts(), banking_mode_);
}

}  // namespace torvix::app
