// A main window built on a settings file in a fresh folder, a skin drawn by
// the test, and dialogs and message boxes that the test answers.
#pragma once

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <gtest/gtest.h>
#include <memory>

#include "app/main_window.h"
#include "app/message_boxes.h"
#include "support/test_support.h"

namespace torvix::test {

// Dark artwork with magenta cut out of the four corners.
inline QImage TestSkin() {
    QImage skin(440, 340, QImage::Format_RGB32);
    skin.fill(QColor(60, 60, 70));
    QPainter p(&skin);
    for (QPoint corner : {QPoint(0, 0), QPoint(420, 0), QPoint(0, 320), QPoint(420, 320)})
        p.fillRect(QRect(corner, QSize(20, 20)), QColor(255, 0, 255));
    return skin;
}

struct RecordedBox {
    QString title;
    QString text;
};

class RecordingMessageBoxes : public MessageBoxes {
public:
    void Warning(QWidget*, const QString& title, const QString& text) override {
        shown.push_back({title, text});
    }
    std::vector<RecordedBox> shown;
};

class WindowTest : public ::testing::Test {
protected:
    std::string SettingsFile() const { return (dir / "Torvix.ini").string(); }

    MainWindow& Window() {
        if (!window) {
            WindowServices services;
            services.settings_file = SettingsFile();
            services.app_folder = dir.path().string();
            services.message_boxes = &boxes;
            services.skin = TestSkin();
            window = std::make_unique<MainWindow>(services);
        }
        return *window;
    }

    template <typename T = QWidget>
    T* Control(const char* name) {
        T* found = Window().findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QLineEdit* Field(const char* name) { return Control<QLineEdit>(name); }

    void TearDown() override { window.reset(); }

    TempDir dir;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
};

}  // namespace torvix::test
