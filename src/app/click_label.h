// A label that takes the mouse itself (so pressing it never drags the window)
// and reports a left click.
#pragma once

#include <QLabel>

namespace torvix::app {

class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace torvix::app
