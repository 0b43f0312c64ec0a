// Control positions are kept in twips (15 per pixel at 96 dpi), the unit the
// layout and the animations count in; widgets get them rounded to pixels.
#pragma once

#include <QRect>
#include <cmath>

namespace torvix::app {

inline constexpr int kTwipsPerPixel = 15;

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

inline int TwipsToPixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

// Edges are rounded separately so that neighbouring controls and a bar
// growing from a fixed bottom edge keep their edges where they belong.
inline QRect TwipsToPixels(const TwipRect& r) {
    const int x1 = TwipsToPixels(r.left);
    const int y1 = TwipsToPixels(r.top);
    const int x2 = TwipsToPixels(r.left + r.width);
    const int y2 = TwipsToPixels(r.top + r.height);
    return QRect(x1, y1, x2 - x1, y2 - y1);
}

}  // namespace torvix::app
