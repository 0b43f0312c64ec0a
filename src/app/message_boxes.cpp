#include "app/message_boxes.h"

#include <QMessageBox>

namespace torvix::app {

void QtMessageBoxes::Warning(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox::warning(owner, title, text, QMessageBox::Ok);
}

}  // namespace torvix::app
