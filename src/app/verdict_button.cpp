#include "app/verdict_button.h"

#include <QFontInfo>
#include <QStringList>

#include <cmath>

#include "app/widget_style.h"
#include "ride/ride_summary.h"
#include "ride/verdict.h"

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

VerdictButton::VerdictButton(QWidget* parent) : ClickLabel(parent) {
    setText(kReportText);
    setStyleSheet(kSmallButtonStyle);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setToolTip(kReportTip);
    setEnabled(false);
}

void VerdictButton::ShowVerdict(const ride::RideReport* ride) {
    if (ride == nullptr) {
        verdict_tip_.clear();
        FitFace(this, kReportText);
        setText(kReportText);
        setToolTip(kReportTip);
        return;
    }
    const ride::RideVerdict verdict = ride::JudgeRide(*ride);
    // The level on the face, in its colour; what decides it and the figures in the tooltip.
    const QString level = QString::fromLatin1(ride::VerdictName(verdict.level));
    // Sized before the text is set: a rich text keeps the font it was laid out in.
    FitFace(this, "Ride: " + level);
    setText(QString("Ride: <span style='color:%1'>%2</span>").arg(VerdictColour(verdict.level).name(), level));
    verdict_tip_ = "Ride: " + QString::fromStdString(verdict.text) + "\n" + VerdictFigures(*ride);
    SetTip();
}

VerdictButton::Offer VerdictButton::OfferRefined(const ride::RideVerdict& verdict, double rms) {
    Offer offer;
    offer.short_text = "Refined banking rides better here: " + Force(rms) + " RMS";
    offer.full_text = offer.short_text + " (" + QString::fromStdString(verdict.text) +
                      ").\nSwitch Banking to refined (Ctrl+B) and run Heartline to use it.";
    verdict_tip_ += "\n\n" + offer.full_text;
    SetTip();
    return offer;
}

void VerdictButton::SetTip() {
    setToolTip(verdict_tip_ + "\n\nClick (or Ctrl+R) for the ride report of the new track.");
}

}  // namespace torvix::app
