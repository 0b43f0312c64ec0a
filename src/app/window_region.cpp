#include "app/window_region.h"

#include <QWidget>

namespace torvix::app {

QRegion RegionFromPicture(const QImage& picture, QRgb key) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int w = image.width();
    const int h = image.height();
    const QRgb key_rgb = key & 0x00FFFFFFu;
    QRegion region;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        auto is_key = [&](int x) { return (row[x] & 0x00FFFFFFu) == key_rgb; };
        QRegion row_region;
        int x = 0;
        while (x < w) {
            while (x < w && is_key(x)) ++x;
            if (x >= w) break;
            const int start = x;
            while (x < w && !is_key(x)) ++x;
            row_region += QRect(start, y, x - start, 1);
        }
        region += row_region;
    }
    return region;
}

QRegion BuildRegionFromPicture(QWidget* window, const QImage& picture, QRgb key) {
    QRegion region = RegionFromPicture(picture, key);
    if (window != nullptr) window->setMask(region);
    return region;
}

QRegion MakeFormTransparent(QWidget* window, const QImage& picture, QRgb key) {
    QRegion region = BuildRegionFromPicture(window, picture, key);
    window->setFixedSize(picture.width(), picture.height());
    return region;
}

}  // namespace torvix::app
