// The track the window works on: the file it was loaded from, the track as
// loaded and measured, and the current track (the loaded one, or a run's
// result). Every run starts from the track as loaded; only a successful run
// makes the current track a new one, which the save command may then write.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "base/status.h"
#include "track/track.h"
#include "track/track_io.h"

namespace torvix::app {

class TrackSession : public QObject {
    Q_OBJECT
public:
    explicit TrackSession(QObject* parent = nullptr);

    struct LoadResult {
        base::Status status;  // why it failed, for the message line
        std::vector<track::SkippedChunk> skipped;  // what a save will not write
    };
    // Reads and measures `file`. On success it becomes the loaded and current
    // track; on failure the tracks stay as they were but nothing counts as
    // loaded any more (the window is empty again).
    LoadResult Load(const std::string& file);

    // A run starts: the current track is the loaded one again, nothing to save.
    void RunStarted();
    // A run succeeded with `result`: it is the current track now.
    void RunSucceeded(track::Track result);

    bool loaded() const { return loaded_; }
    bool modified() const { return modified_; }
    const std::string& file() const { return file_; }
    const track::Track& loaded_track() const { return loaded_track_; }
    const track::Track& current_track() const { return current_; }
    double length() const { return length_; }  // of the loaded track, as measured at load

signals:
    void loadedChanged(bool loaded);
    void modifiedChanged(bool modified);

private:
    void SetLoaded(bool loaded);
    void SetModified(bool modified);

    std::string file_;
    track::Track loaded_track_;
    track::Track current_;
    double length_ = 0;
    bool loaded_ = false;
    bool modified_ = false;
};

}  // namespace torvix::app
