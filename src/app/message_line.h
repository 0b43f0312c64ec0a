// The window's message line: a short text that clears itself after a while,
// with the whole story as its tooltip when the text is a summary. A text too
// long for the line is wrapped and set smaller, never cut.
#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <optional>

class QLabel;
class QTimer;
class QWidget;

namespace torvix::app {

class MessageLine : public QObject {
    Q_OBJECT
public:
    // Shows "Ready" on `label` in the line's own font; its timer
    // ("message_timer") is a child of `window`.
    MessageLine(QLabel* label, QWidget* window);

    void Start();  // the timer runs from start-up, clearing "Ready"
    // `full_text`, when it says more than `text`, is the tooltip until the next message.
    void Show(const QString& text, int duration_ms, const QString& full_text = {});
    // Shows a message once the one on the line has had its time, at once when
    // the line is free. A later ShowNext replaces it; DropNext forgets it.
    void ShowNext(const QString& text, int duration_ms, const QString& full_text = {});
    void DropNext();
    // The message's time is up: the next one, or an empty line.
    void TimeUp();
    void Clear();

private:
    QLabel* label_;
    QTimer* timer_;
    QFont font_;
    struct Message {
        QString text;
        int duration_ms = 0;
        QString full_text;
    };
    std::optional<Message> next_;
};

}  // namespace torvix::app
