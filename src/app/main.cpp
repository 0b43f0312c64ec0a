#include <QApplication>
#include <QImage>

#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/message_boxes.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The skin lives in the window library; a static library's resources
    // must be registered by hand.
    Q_INIT_RESOURCE(skin);
    torvix::QtFileDialogs dialogs;
    torvix::QtMessageBoxes boxes;
    torvix::WindowServices services;
    services.app_folder = QCoreApplication::applicationDirPath().toStdString();
    services.settings_file = services.app_folder + "/Torvix.ini";
    services.dialogs = &dialogs;
    services.message_boxes = &boxes;
    services.skin = QImage(":/skin.png");
    torvix::MainWindow window(services);
    window.show();
    return app.exec();
}
