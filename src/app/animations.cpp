#include "app/animations.h"

#include <algorithm>
#include <cmath>

namespace torvix::app {

Rgb FadeTick(FadeState& fade) {
    if (fade.running) {
        fade.fade_level += 5;
        if (fade.fade_level >= 180) {
            fade.fade_level = 180;
            fade.running = false;
        }
    }
    return Rgb{fade.fade_level, fade.fade_level + 20, fade.fade_level + 40};
}

void RotateSlotRing(SlotRing& ring) {
    std::rotate(ring.rbegin(), ring.rbegin() + 1, ring.rend());
}

BarGeometry ProgressBarGeometry(std::int32_t progress_count, std::int32_t progress_total) {
    BarGeometry bar;
    if (progress_total <= 0) {
        return bar;
    }
    const double h = std::floor(static_cast<double>(progress_count) /
                                static_cast<double>(progress_total) * kProgressBarFullHeight);
    bar.height = static_cast<int>(std::clamp(h, 0.0, static_cast<double>(kProgressBarFullHeight)));
    bar.top = kProgressBarBottom - bar.height;
    return bar;
}

float RandomSequence::Next() {
    constexpr std::uint64_t kModulus = 1u << 24;
    state_ = static_cast<std::uint32_t>((state_ * std::uint64_t{1140671485} + 12820163u) % kModulus);
    return static_cast<float>(state_) / static_cast<float>(kModulus);
}

namespace {

// floor(r * scale + shift) for the next random number r; exact in double.
int RandomStep(RandomSequence& random, double scale, double shift) {
    return static_cast<int>(std::floor(static_cast<double>(random.Next()) * scale + shift));
}

}  // namespace

void BubbleTick(BubbleState& bubble, RandomSequence& random) {
    bubble.top -= RandomStep(random, 20, -5);
    bubble.left += RandomStep(random, 20, -9);

    bubble.left = std::clamp(bubble.left, kBubbleLeftWall, kBubbleRightWall);
    bubble.top = std::min(bubble.top, kBubbleBottom);

    if (bubble.outline == OutlineStyle::kDotted) {
        bubble.top = kBubbleBottom;
        bubble.bubble_offset = RandomStep(random, 1500, -750);
        bubble.width = 40;
        bubble.height = 40;
        bubble.outline = OutlineStyle::kSolid;
        bubble.left = 3000;
    }
    if (bubble.outline == OutlineStyle::kDashed) {
        bubble.outline = OutlineStyle::kDotted;
        bubble.width = 120;
        bubble.height = 120;
        bubble.left -= 20;
    }
    if (bubble.top <= bubble.bubble_offset + 3250 && bubble.outline == OutlineStyle::kSolid) {
        bubble.width = 80;
        bubble.height = 80;
        bubble.outline = OutlineStyle::kDashed;
        bubble.left -= 20;
    }
}

void ResetBubbleAfterRun(BubbleState& bubble) { bubble.top = kBubbleBottom; }

}  // namespace torvix::app
