// The window's outline: every pixel of the skin in the key colour is cut away.
#pragma once

#include <QImage>
#include <QRegion>
#include <QRgb>

class QWidget;

namespace torvix::app {

inline constexpr QRgb kSkinKeyColour = qRgb(255, 0, 255);

// Union of the maximal horizontal runs of pixels whose RGB differs from `key`,
// one pixel high. Colours compare exactly; alpha is not looked at.
QRegion RegionFromPicture(const QImage& picture, QRgb key);

// Builds the region of `picture` and applies it to `window` as its mask, so
// the window shows and takes input only inside it. Returns the region.
QRegion BuildRegionFromPicture(QWidget* window, const QImage& picture, QRgb key);

// Sizes `window` to the picture and shapes it by the picture's key colour.
// The caller paints the picture as the window's background.
QRegion MakeFormTransparent(QWidget* window, const QImage& picture, QRgb key);

}  // namespace torvix::app
