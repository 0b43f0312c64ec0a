#include "app/window_animator.h"

#include <QLineEdit>
#include <QTimer>

#include "app/run_controller.h"
#include "app/shape_widget.h"
#include "app/widget_style.h"

namespace torvix::app {

namespace {

QTimer* AddTimer(QWidget* owner, const char* name, int interval_ms) {
    auto* t = new QTimer(owner);
    t->setObjectName(name);
    t->setInterval(interval_ms);
    return t;
}

}  // namespace

WindowAnimator::WindowAnimator(Widgets widgets, const RunController& runs)
    : QObject(widgets.window),
      w_(std::move(widgets)),
      runs_(runs),
      fade_timer_(AddTimer(w_.window, "fade", 20)),
      bubble_timer_(AddTimer(w_.window, "bubble", 50)),
      slot_machine_timer_(AddTimer(w_.window, "Slotmachine", 100)) {
    connect(fade_timer_, &QTimer::timeout, this, &WindowAnimator::FadeTick);
    connect(bubble_timer_, &QTimer::timeout, this, &WindowAnimator::BubbleTick);
    connect(slot_machine_timer_, &QTimer::timeout, this, &WindowAnimator::SlotMachineTick);
}

void WindowAnimator::Start() {
    fade_state_ = FadeState{};
    for (QTimer* t : {fade_timer_, bubble_timer_, slot_machine_timer_}) t->start();
}

void WindowAnimator::FadeTick() {
    w_.window->setEnabled(true);
    const Rgb c = torvix::app::FadeTick(fade_state_);
    if (!fade_state_.running) fade_timer_->stop();
    for (QWidget* w : w_.faded) SetTextOnlyColour(w, QColor(c.red, c.green, c.blue));
}

void WindowAnimator::SlotMachineTick() {
    SlotRing ring;
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = w_.ring[i]->text().toStdString();
    RotateSlotRing(ring);
    for (std::size_t i = 0; i < ring.size(); ++i) w_.ring[i]->setText(QString::fromStdString(ring[i]));
    ShowProgressBar();
}

void WindowAnimator::ShowProgressBar() {
    const BarGeometry bar = ProgressBarGeometry(static_cast<std::int32_t>(runs_.progress_count()),
                                                static_cast<std::int32_t>(runs_.progress_total()));
    const TwipRect now = w_.bar->Twips();
    w_.bar->SetTwips({now.left, bar.top, now.width, bar.height});
}

void WindowAnimator::BubbleTick() {
    torvix::app::BubbleTick(bubble_state_, random_);
    ShowBubble();
}

void WindowAnimator::ShowBubble() {
    w_.bubble->SetTwips({bubble_state_.left, bubble_state_.top, bubble_state_.width, bubble_state_.height});
    w_.bubble->SetBorderStyle(bubble_state_.outline);
}

void WindowAnimator::StopRing() { slot_machine_timer_->stop(); }

void WindowAnimator::RunStarted() {
    w_.bar->show();
    bubble_timer_->stop();
    w_.bubble->hide();
    slot_machine_timer_->start();
}

void WindowAnimator::RunEnded() {
    slot_machine_timer_->stop();
    ResetBubbleAfterRun(bubble_state_);
    ShowBubble();
    w_.bubble->show();
    bubble_timer_->start();
    w_.bar->hide();
    ShowProgressBar();
}

}  // namespace torvix::app
