#include <QImage>
#include <QLineEdit>
#include <gtest/gtest.h>

#include "app/window_region.h"
#include "window_fixture.h"

using namespace torvix::app;

// Resources of a static library are registered by hand, as the program does.
static void RegisterSkin() { Q_INIT_RESOURCE(skin); }

namespace torvix::test {
namespace {

long RegionArea(const QRegion& region) {
    long area = 0;
    for (const QRect& r : region) area += static_cast<long>(r.width()) * r.height();
    return area;
}

class ShippedSkinTest : public WindowTest {
protected:
    void SetUp() override {
        RegisterSkin();
        skin = QImage(":/skin.png");
        ASSERT_FALSE(skin.isNull());
    }
    QImage skin;
};

TEST_F(ShippedSkinTest, CutsTheMagentaAndKeepsEveryControlInside) {
    ASSERT_EQ(skin.size(), QSize(440, 340));
    long magenta = 0;
    for (int y = 0; y < skin.height(); ++y)
        for (int x = 0; x < skin.width(); ++x)
            if ((skin.pixel(x, y) & 0xFFFFFFu) == (kSkinKeyColour & 0xFFFFFFu)) ++magenta;
    const QRegion region = RegionFromPicture(skin, kSkinKeyColour);
    EXPECT_EQ(RegionArea(region), 440L * 340L - magenta);
    EXPECT_GT(magenta, 0);
    EXPECT_FALSE(region.contains(QPoint(0, 0)));

    window.reset();
    WindowServices services;
    services.settings_file = SettingsPath();
    services.skin = skin;
    window = std::make_unique<MainWindow>(services);
    for (const char* name : {"str_segments", "str_filter", "str_tilt_out", "Lengthlabel", "SLopeLabel", "btnLoad",
                             "btnSave", "closeme", "minimizeme", "Message_Label", "statuslight3", "Progressbar"}) {
        QWidget* w = window->findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(region.intersected(w->geometry()), QRegion(w->geometry())) << name << " is cut by the outline";
    }
}

}  // namespace
}  // namespace torvix::test
