// A filled or outlined circle or rectangle laid over the skin. Shapes never
// take the mouse, so the window can be dragged by them.
#pragma once

#include <QColor>
#include <QWidget>

#include "app/animations.h"
#include "app/twips.h"

namespace torvix::app {

class ShapeWidget : public QWidget {
    Q_OBJECT
public:
    enum class Kind { kCircle, kRectangle };

    ShapeWidget(Kind kind, QWidget* parent);

    void SetFill(const QColor& colour);  // invalid colour: outline only
    void SetBorderColour(const QColor& colour);
    void SetBorderStyle(OutlineStyle style);
    OutlineStyle BorderStyle() const { return border_style_; }
    QColor FillColour() const { return fill_; }
    QColor BorderColour() const { return border_; }

    void SetTwips(const TwipRect& r);
    const TwipRect& Twips() const { return twips_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
    QColor fill_;
    QColor border_ = Qt::black;
    OutlineStyle border_style_ = OutlineStyle::kSolid;
    TwipRect twips_;
};

}  // namespace torvix::app
