// A main window built on a settings file in a fresh folder, a skin drawn by
// the test, and dialogs and message boxes that the test answers.
#pragma once

#include <QApplication>
#include <filesystem>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/file_dialogs.h"
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

class RecordingMessageBoxes : public app::MessageBoxes {
public:
    void Warning(QWidget*, const QString& title, const QString& text) override {
        shown.push_back({title, text});
    }
    std::vector<RecordedBox> shown;
};

// Answers the file dialogs from a queue: a path chooses that file, nothing
// cancels. Records what each dialog was asked with.
class ScriptedFileDialogs : public app::FileDialogs {
public:
    struct Request {
        std::string file_name;
        std::string initial_dir;
        std::string title;
        std::string filter;
    };

    std::optional<std::string> Choose(const app::DialogRequest& request, QWidget*) override {
        return request.save ? Answer(save_answers, saved, request) : Answer(open_answers, opened, request);
    }

    std::deque<std::optional<std::string>> open_answers;
    std::deque<std::optional<std::string>> save_answers;
    std::vector<Request> opened;
    std::vector<Request> saved;

private:
    static std::optional<std::string> Answer(std::deque<std::optional<std::string>>& answers,
                                             std::vector<Request>& log, const app::DialogRequest& request) {
        log.push_back({request.file_name, request.initial_dir, request.title, request.filter_spec});
        std::optional<std::string> answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        return answer;
    }
};

class WindowTest : public ::testing::Test {
protected:
    std::string SettingsPath() const { return (dir / "Torvix.ini").string(); }

    app::MainWindow& Window() {
        if (!window) {
            app::WindowServices services;
            services.settings_file = SettingsPath();
            services.app_folder = dir.path().string();
            services.message_boxes = &boxes;
            services.dialogs = &dialogs;
            services.skin = TestSkin();
            window = std::make_unique<app::MainWindow>(services);
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

    // Waits until the window's run (Heartline or a comparison) has ended and
    // its outcome is shown; false when it did not end in time.
    bool WaitForRun(int timeout_ms = 120000) {
        if (!Window().run_in_progress()) return true;
        QSignalSpy ended(&Window(), &app::MainWindow::runFinished);
        return ended.wait(timeout_ms);
    }
    // The Heartline command as a click runs it, waited for.
    void RunModify() {
        Window().OnModifyClicked();
        EXPECT_TRUE(WaitForRun());
    }

    void TearDown() override { window.reset(); }

    TempDir dir;
    RecordingMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<app::MainWindow> window;
};

}  // namespace torvix::test
