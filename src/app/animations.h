// The window's animations as plain state and one tick function each, so the
// timer handlers only copy the results onto the widgets. Lengths in twips.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace torvix::app {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Text fade-in at start-up: grey level 0 to 180 in steps of 5.
struct FadeState {
    int fade_level = 0;
    bool running = true;  // the fade timer stays enabled while true
};

// One tick of the fade timer: raises the level and returns the text colour to
// apply. Clears `running` on the tick that reaches 180; a stopped fade is left
// as it is.
Rgb FadeTick(FadeState& fade);

// The six result texts in ring order: slope_in, radius_in, tilt_in, tilt_out,
// radius_out, slope_out.
using SlotRing = std::array<std::string, 6>;

// Moves every text one place along the ring; the last goes to the first.
void RotateSlotRing(SlotRing& ring);

inline constexpr int kProgressBarBottom = 4080;
inline constexpr int kProgressBarFullHeight = 1680;

struct BarGeometry {
    int height = 0;
    int top = kProgressBarBottom;
};

// The progress bar grows upwards from a fixed bottom edge. A total of 0 or
// less shows an empty bar; the height never leaves 0 .. 1680.
BarGeometry ProgressBarGeometry(std::int32_t progress_count, std::int32_t progress_total);

// Uniform Singles in [0, 1) from a 24-bit linear congruential generator. It
// is never seeded, so every start draws the same sequence.
class RandomSequence {
public:
    float Next();

private:
    std::uint32_t state_ = 327680;
};

// The bubble's outline, which is also its burst phase.
enum class OutlineStyle { kSolid = 1, kDashed = 2, kDotted = 3 };

inline constexpr int kBubbleBottom = 4000;
inline constexpr int kBubbleLeftWall = 2920;
inline constexpr int kBubbleRightWall = 3025;

// The bubble in the glass tube; its burst phase is its outline style.
struct BubbleState {
    int left = 2950;
    int top = 3960;
    int width = 40;
    int height = 40;
    OutlineStyle outline = OutlineStyle::kSolid;
    std::int32_t bubble_offset = 0;  // shifts the burst height, -750 .. 749
};

// One tick of the bubble timer: rise, wobble, stay in the tube, then advance
// the burst (dotted -> new bubble, dashed -> dotted, solid and high enough ->
// dashed). Draws one random number for the rise, one for the wobble and one
// more when a new bubble starts.
void BubbleTick(BubbleState& bubble, RandomSequence& random);

// After a modify run the bubble goes back to the bottom of the tube; its size
// and outline stay, so a burst in progress finishes.
void ResetBubbleAfterRun(BubbleState& bubble);

}  // namespace torvix::app
