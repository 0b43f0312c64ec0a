// Saving a run's result: the folder and file the save dialog proposes (worked
// out at each load), the dialog itself, and writing the new track, or its
// heart line as a NoLimits 2 element when that type is chosen. Failures are
// warned about here; the window shows what a success means.
#pragma once

#include <QString>
#include <string>

#include "track/track_fwd.h"

class QWidget;

namespace torvix::app {

class FileDialogs;
class MessageBoxes;
class WindowSettings;

class TrackSaver {
public:
    TrackSaver(WindowSettings& settings, FileDialogs* dialogs, MessageBoxes* boxes)
        : settings_(settings), dialogs_(dialogs), boxes_(boxes) {}

    // At load: where results go and the file the next save proposes.
    void Propose(const std::string& loaded_file);
    const QString& folder() const { return folder_; }
    const QString& file() const { return file_; }

    struct Saved {
        bool written = false;
        QString message, full_message;  // what an element asks of NoLimits 2; empty for a track
    };
    // Asks for a file and writes `track` there, or its element at `heartline`.
    // A cancelled dialog proposes nothing next time, as before.
    Saved Save(QWidget* owner, const track::Track& track, double heartline);

private:
    Saved SaveElement(QWidget* owner, const track::Track& track, double heartline, const std::string& file);

    WindowSettings& settings_;
    FileDialogs* dialogs_;
    MessageBoxes* boxes_;
    QString folder_;  // where results are proposed
    QString file_;    // proposed by the next save dialog
};

}  // namespace torvix::app
