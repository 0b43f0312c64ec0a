// The life of a heartline run in the window: the track as loaded and the
// track being worked on, the solver's thread, its cancel flag and its
// progress. The main window and its ride report run the solver through it,
// so a run never blocks the window's thread and two never overlap.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

#include "heartline/solver.h"
#include "refined/solver_modes.h"
#include "track/track.h"

namespace torvix {

class RunController : public QObject {
    Q_OBJECT
public:
    explicit RunController(QObject* parent = nullptr);
    ~RunController() override;

    // The track the commands work on: the load command reads into it, a run
    // rewrites it, the save command writes it.
    Track& current_track() { return current_; }
    const Track& current_track() const { return current_; }
    // The track as loaded, and its length as measured at load.
    const Track& loaded_track() const { return loaded_; }
    double track_length() const { return track_length_; }

    // The current track has been loaded and measured: it becomes the track as loaded.
    void KeepLoaded(double track_length);
    // Every run starts from the track as loaded.
    void RestoreLoaded() { current_ = loaded_; }

    // Solves the current track (RunCurrent) or `track` (Run) on a thread of
    // its own. The calling (window) thread keeps processing its events in a
    // local loop until the run has finished; `friction` is then called on
    // it too. Refuses (fails at once) while another run is in progress.
    SolveResult RunCurrent(SolverMode mode, const HeartlineParams& params,
                           std::function<void(double)> friction = {});
    SolveResult Run(Track& track, double track_length, SolverMode mode, const HeartlineParams& params,
                    std::function<void(double)> friction = {});

    bool running() const { return running_; }
    // Stops the run in progress at its next counted step; it fails with
    // kCancelledMessage and leaves its track untouched.
    void Cancel();
    bool cancelled() const { return cancelled_; }

    // Written by the solver's thread, read by the window's timers; back to
    // 0 of 10 between runs.
    long progress_count() const { return progress_count_.load(); }
    long progress_total() const { return progress_total_.load(); }

signals:
    // A run has ended (after its result was handed back).
    void finished();

private:
    Track current_;
    Track loaded_;
    double track_length_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
    std::atomic<bool> cancel_{false};
    std::atomic<long> progress_count_{0};
    std::atomic<long> progress_total_{10};
};

}  // namespace torvix
