// The window's message line: a short text that clears itself after a while,
// with the whole story as its tooltip when the text is a summary. A text too
// long for the line is wrapped and set smaller, never cut.
#pragma once

#include <QFont>
#include <QObject>
#include <QString>

class QLabel;
class QTimer;
class QWidget;

namespace torvix {

class MessageLine : public QObject {
    Q_OBJECT
public:
    // Shows "Ready" on `label` in the line's own font; its timer
    // ("message_timer") is a child of `window`.
    MessageLine(QLabel* label, QWidget* window);

    void Start();  // the timer runs from start-up, clearing "Ready"
    // `full_text`, when it says more than `text`, is the tooltip until the next message.
    void Show(const QString& text, int duration_ms, const QString& full_text = {});
    void Clear();

private:
    QLabel* label_;
    QTimer* timer_;
    QFont font_;
};

}  // namespace torvix
