#include "app/click_label.h"

#include <QMouseEvent>

namespace torvix::app {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void ClickLabel::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

}  // namespace torvix::app
