#include "app/message_line.h"

#include <QLabel>
#include <QTimer>
#include <utility>

#include "app/widget_style.h"

namespace torvix::app {

MessageLine::MessageLine(QLabel* label, QWidget* window)
    : QObject(window), label_(label), timer_(new QTimer(window)), font_("Fixedsys") {
    timer_->setObjectName("message_timer");
    timer_->setInterval(1500);
    connect(timer_, &QTimer::timeout, this, &MessageLine::TimeUp);
    label_->setText("Ready");
    font_.setPointSize(9);
    font_.setWeight(QFont::Normal);
    font_.setStyleHint(QFont::TypeWriter);
    label_->setFont(font_);
    label_->setAlignment(Qt::AlignCenter);
    SetTextOnlyColour(label_, kTextColour);
}

void MessageLine::Start() { timer_->start(); }

void MessageLine::Show(const QString& text, int duration_ms, const QString& full_text) {
    label_->setText(text);
    label_->setToolTip(full_text == text ? QString() : full_text);
    FitMessageLine(label_, font_);
    label_->setEnabled(true);
    timer_->setInterval(duration_ms);
    timer_->start();
}

void MessageLine::ShowNext(const QString& text, int duration_ms, const QString& full_text) {
    if (timer_->isActive()) next_ = Message{text, duration_ms, full_text};
    else Show(text, duration_ms, full_text);
}

void MessageLine::DropNext() { next_.reset(); }

void MessageLine::TimeUp() {
    if (!next_) return Clear();
    const Message next = *std::exchange(next_, std::nullopt);
    Show(next.text, next.duration_ms, next.full_text);
}

void MessageLine::Clear() {
    label_->setText(QString());
    timer_->stop();
}

}  // namespace torvix::app
