// Pictures of the window for the README: the window at start, then after a
// literal run of a track with the default fields (its verdict, and the offer
// of the refined method when that rides better), and the ride report of a
// refined run. Needs a screen; run it under xvfb-run.
//
//   window_shots TRACK.nltrack OUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>

#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/ride_report_window.h"

namespace {

// Answers every open dialog with one file; never saves.
class OneFile : public torvix::app::FileDialogs {
public:
    explicit OneFile(std::string file) : file_(std::move(file)) {}
    std::optional<std::string> Choose(const torvix::app::DialogRequest& request, QWidget*) override {
        if (request.save) return std::nullopt;
        return file_;
    }

private:
    std::string file_;
};

class Silent : public torvix::app::MessageBoxes {
public:
    void Warning(QWidget*, const QString& title, const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

void Wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_shots TRACK.nltrack OUT_FOLDER\n");
        return 2;
    }
    Q_INIT_RESOURCE(skin);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir settings;
    OneFile dialogs(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath().toStdString());
    Silent boxes;
    torvix::app::WindowServices services;
    services.app_folder = settings.path().toStdString();
    services.settings_file = services.app_folder + "/Torvix.ini";
    services.dialogs = &dialogs;
    services.message_boxes = &boxes;
    services.skin = QImage(":/skin.png");
    torvix::app::MainWindow window(services);
    window.show();
    Wait(1000);  // the fade-in; "Ready" is still showing
    if (!window.grab().save(QDir(out).filePath("window.png"))) return 1;

    // The runs go off the window's thread; the window shows each outcome when it is done.
    auto run = [&window](torvix::refined::SolverMode mode) {
        window.SetBankingMode(mode);
        window.OnModifyClicked();
        while (window.run_in_progress()) QApplication::processEvents(QEventLoop::AllEvents, 20);
        return window.track_modified();
    };
    window.OnLoadClicked();
    if (!run(torvix::refined::SolverMode::kLiteral)) return 1;
    // The refined method is tried beside; its offer follows "OK" on the message line.
    while (window.checking_refined()) QApplication::processEvents(QEventLoop::AllEvents, 20);
    Wait(1700);
    if (!window.grab().save(QDir(out).filePath("window-after-run.png"))) return 1;

    if (!run(torvix::refined::SolverMode::kRefined)) return 1;

    window.OpenRideReport();
    torvix::app::RideReportWindow* report = window.ride_report_window();
    if (report == nullptr) return 1;
    Wait(500);
    const auto& peaks = report->report().summary.peaks;
    if (!peaks.empty()) report->ShowValuesAt(peaks.front().s);
    Wait(200);
    if (!report->grab().save(QDir(out).filePath("ride-report.png"))) return 1;
    return 0;
}
