#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include "app/window_region.h"

using namespace torvix::app;

namespace torvix {
namespace {

const QColor kMagenta(255, 0, 255);
const QColor kArt(20, 30, 40);

QImage Filled(int w, int h, const QColor& c) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(c);
    return image;
}

TEST(RegionScan, AllMagentaRowAddsNothing) {
    QImage image = Filled(8, 3, kArt);
    for (int x = 0; x < 8; ++x) image.setPixelColor(x, 1, kMagenta);
    const QRegion region = RegionFromPicture(image, kSkinKeyColour);
    EXPECT_EQ(region, QRegion(0, 0, 8, 1) + QRegion(0, 2, 8, 1));
    for (int x = 0; x < 8; ++x) EXPECT_FALSE(region.contains(QPoint(x, 1)));
}

TEST(RegionScan, RowWithoutMagentaIsOneFullWidthRun) {
    const QRegion region = RegionFromPicture(Filled(13, 1, kArt), kSkinKeyColour);
    EXPECT_EQ(region.rectCount(), 1);
    EXPECT_EQ(region.boundingRect(), QRect(0, 0, 13, 1));
}

TEST(RegionScan, LonePixelIsOneByOne) {
    QImage image = Filled(9, 5, kMagenta);
    image.setPixelColor(4, 2, kArt);
    const QRegion region = RegionFromPicture(image, kSkinKeyColour);
    EXPECT_EQ(region.rectCount(), 1);
    EXPECT_EQ(region.boundingRect(), QRect(4, 2, 1, 1));
}

TEST(RegionScan, NearMagentaIsOpaque) {
    QImage image = Filled(5, 1, kMagenta);
    image.setPixelColor(1, 0, QColor(254, 0, 255));
    image.setPixelColor(3, 0, QColor(255, 1, 255));
    const QRegion region = RegionFromPicture(image, kSkinKeyColour);
    EXPECT_EQ(region, QRegion(1, 0, 1, 1) + QRegion(3, 0, 1, 1));
}

TEST(RegionScan, RunsBetweenCutOutsAndAtTheEdges) {
    // art art key art key key art
    QImage image = Filled(7, 1, kArt);
    for (int x : {2, 4, 5}) image.setPixelColor(x, 0, kMagenta);
    const QRegion region = RegionFromPicture(image, kSkinKeyColour);
    EXPECT_EQ(region, QRegion(0, 0, 2, 1) + QRegion(3, 0, 1, 1) + QRegion(6, 0, 1, 1));
}

TEST(RegionScan, AlphaDoesNotHideTheKey) {
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 255, 0));
    image.setPixel(1, 0, qRgba(255, 0, 255, 255));
    image.setPixel(2, 0, qRgba(1, 2, 3, 255));
    EXPECT_EQ(RegionFromPicture(image, kSkinKeyColour), QRegion(2, 0, 1, 1));
}

TEST(RegionScan, MakeFormTransparentSizesAndMasksTheWindow) {
    QImage image = Filled(40, 30, kArt);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) image.setPixelColor(x, y, kMagenta);
    QWidget window(nullptr, Qt::FramelessWindowHint);
    const QRegion region = MakeFormTransparent(&window, image, kSkinKeyColour);
    EXPECT_EQ(window.size(), QSize(40, 30));
    EXPECT_EQ(window.mask(), region);
    EXPECT_FALSE(window.mask().contains(QPoint(5, 5)));
    EXPECT_TRUE(window.mask().contains(QPoint(15, 5)));
    EXPECT_TRUE(window.mask().contains(QPoint(5, 15)));
}

}  // namespace
}  // namespace torvix
