// A filled or outlined circle or rectangle laid over the skin. Shapes never
// take the mouse, so the window can be dragged by them.
#pragma once

#include <QColor>
#include <QWidget>

#include "app/twips.h"

namespace torvix {

class ShapeWidget : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Circle, Rectangle };
    // Outline styles as numbered by the bubble's burst: solid, dashed, dotted.
    enum LineStyle { kSolid = 1, kDash = 2, kDot = 3 };

    ShapeWidget(Kind kind, QWidget* parent);

    void SetFill(const QColor& colour);  // invalid colour: outline only
    void SetBorderColour(const QColor& colour);
    void SetBorderStyle(int style);
    int BorderStyle() const { return border_style_; }
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
    int border_style_ = kSolid;
    TwipRect twips_;
};

}  // namespace torvix
