#include "app/shape_widget.h"

#include <QPainter>
#include <algorithm>

namespace torvix::app {

ShapeWidget::ShapeWidget(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void ShapeWidget::SetFill(const QColor& colour) {
    fill_ = colour;
    update();
}

void ShapeWidget::SetBorderColour(const QColor& colour) {
    border_ = colour;
    update();
}

void ShapeWidget::SetBorderStyle(OutlineStyle style) {
    border_style_ = style;
    update();
}

void ShapeWidget::SetTwips(const TwipRect& r) {
    twips_ = r;
    setGeometry(TwipsToPixels(r));
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, kind_ == Kind::kCircle);
    QPen pen(border_);
    pen.setStyle(border_style_ == OutlineStyle::kDashed  ? Qt::DashLine
                 : border_style_ == OutlineStyle::kDotted ? Qt::DotLine
                                                          : Qt::SolidLine);
    painter.setPen(pen);
    painter.setBrush(fill_.isValid() ? QBrush(fill_) : QBrush(Qt::NoBrush));
    if (kind_ == Kind::kRectangle) {
        painter.drawRect(QRectF(0.5, 0.5, width() - 1.0, height() - 1.0));
        return;
    }
    // A circle in a box that is not square takes the smaller side, centred.
    const double d = std::min(width(), height()) - 1.0;
    painter.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}

}  // namespace torvix::app
