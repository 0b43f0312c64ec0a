#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <cstdio>
#include <cstring>

#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "platform/heap.h"
#include "platform/places.h"
#include "settings/settings_file.h"

#ifndef TORVIX_VERSION
#define TORVIX_VERSION "unknown"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: torvix [TRACK.nltrack]\n"
    "Torvix rebuilds a NoLimits roller-coaster track around the riders' heartline.\n"
    "Opens the Torvix window; with TRACK.nltrack, the window starts with that track\n"
    "loaded as the Load button would load it.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Settings are kept in Torvix.ini beside the program when its folder can be\n"
    "written (a portable copy); an installed copy keeps them in\n"
    "$XDG_CONFIG_HOME/Torvix/Torvix.ini (by default ~/.config/Torvix/Torvix.ini).\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("torvix %s\n", TORVIX_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }

    torvix::platform::KeepFreedMemory();
    QApplication app(argc, argv);
    // Qt has taken its own options out of the arguments by now.
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() > 1 || (args.size() == 1 && args.front().startsWith('-'))) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    // The skin lives in the window library; a static library's resources
    // must be registered by hand.
    Q_INIT_RESOURCE(skin);
    torvix::app::QtFileDialogs dialogs;
    torvix::app::QtMessageBoxes boxes;
    torvix::app::WindowServices services;
    const std::filesystem::path program_folder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    services.settings_file = torvix::settings::SettingsFilePath(program_folder,
                                                                torvix::settings::CanKeepSettingsBeside(program_folder),
                                                                torvix::platform::UserConfigFolder())
                                 .string();
    // The first open dialog starts in the user's home folder; later ones in
    // the folder last loaded from.
    services.app_folder = QFile::encodeName(QDir::homePath()).toStdString();
    services.dialogs = &dialogs;
    services.message_boxes = &boxes;
    services.skin = QImage(":/skin.png");
    torvix::app::MainWindow window(services);
    window.show();
    if (!args.isEmpty()) window.OpenTrack(QFileInfo(args.front()).absoluteFilePath());
    return app.exec();
}
