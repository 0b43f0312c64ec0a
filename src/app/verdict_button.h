// The ride report control: "Ride report..." until a run succeeds, then the
// new track's verdict on its face and what decides it in its tooltip, with the
// refined method's offer added when that rides better.
#pragma once

#include <QString>

#include "app/click_label.h"

namespace torvix::ride {
struct RideReport;
struct RideVerdict;
}  // namespace torvix::ride

namespace torvix::app {

class VerdictButton : public ClickLabel {
    Q_OBJECT
public:
    explicit VerdictButton(QWidget* parent);

    // The verdict of `ride` on the face; nullptr puts the plain face back.
    void ShowVerdict(const ride::RideReport* ride);

    // What the message line says of the refined method riding better, short and
    // in full; the full text joins the tooltip.
    struct Offer {
        QString short_text, full_text;
    };
    Offer OfferRefined(const ride::RideVerdict& verdict, double rms);

private:
    void SetTip();

    QString verdict_tip_;  // the tooltip's text while the face shows a verdict
};

}  // namespace torvix::app
