// The main window's animations on its widgets: the texts fading in at
// start-up, the result fields turning like a slot machine and the progress
// bar rising while a run works, and the bubble rising in the glass tube
// between runs. The state and arithmetic of each are in animations.h; this
// copies them onto the widgets, one timer each.
#pragma once

#include <QObject>
#include <array>
#include <vector>

#include "app/animations.h"

class QLineEdit;
class QTimer;
class QWidget;

namespace torvix::app {

class RunController;
class ShapeWidget;

class WindowAnimator : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QWidget* window = nullptr;            // enabled by the first fade tick; owns the timers
        std::vector<QWidget*> faded;          // whose text fades in
        std::array<QLineEdit*, 6> ring{};     // the result fields in ring order
        ShapeWidget* bar = nullptr;
        ShapeWidget* bubble = nullptr;
    };
    // The timers ("fade", "bubble", "Slotmachine") are children of the window.
    WindowAnimator(Widgets widgets, const RunController& runs);

    void Start();  // every timer, as at start-up
    void FadeTick();
    void SlotMachineTick();
    void BubbleTick();
    // A track is loaded: the result fields stop turning.
    void StopRing();
    // A run starts: the bar shows, the bubble hides, the fields turn.
    void RunStarted();
    // A run has ended: the fields stop, the bubble starts again from the bottom, the bar empties and hides.
    void RunEnded();

private:
    void ShowProgressBar();
    void ShowBubble();

    Widgets w_;
    const RunController& runs_;
    QTimer* fade_timer_;
    QTimer* bubble_timer_;
    QTimer* slot_machine_timer_;
    FadeState fade_state_;
    BubbleState bubble_state_;
    RandomSequence random_;
};

}  // namespace torvix::app
