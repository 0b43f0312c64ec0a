#include "app/run_controller.h"

#include <QEventLoop>
#include <thread>

namespace torvix {

RunController::RunController(QObject* parent) : QObject(parent) {}

// A run keeps the window's thread inside Run until it ends, so no run can
// still be going when the controller is destroyed.
RunController::~RunController() = default;

void RunController::KeepLoaded(double track_length) {
    loaded_ = current_;
    track_length_ = track_length;
}

void RunController::Cancel() {
    if (!running_) return;
    cancelled_ = true;
    cancel_.store(true);
}

SolveResult RunController::RunCurrent(SolverMode mode, const HeartlineParams& params,
                                      std::function<void(double)> friction) {
    return Run(current_, track_length_, mode, params, std::move(friction));
}

SolveResult RunController::Run(Track& track, double track_length, SolverMode mode, const HeartlineParams& params,
                               std::function<void(double)> friction) {
    SolveResult result;
    if (running_) {
        result.message = "Another run is in progress.";
        return result;
    }
    running_ = true;
    cancelled_ = false;
    cancel_.store(false);

    SolverObserver observer;
    if (friction) {
        // On the solver's thread: the value reaches the window through its event queue.
        observer.display_gradient = [this, friction](double value) {
            QMetaObject::invokeMethod(this, [friction, value] { friction(value); }, Qt::QueuedConnection);
        };
    }
    observer.progress = [this](long count, long total) {
        progress_count_.store(count);
        progress_total_.store(total);
    };
    observer.cancel = &cancel_;
    {
        // Timers, repaints and close requests go on while the solver works.
        QEventLoop loop;
        std::thread solver([&] {
            result = SolveHeartlineWith(mode, track, track_length, params, observer);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        solver.join();
    }
    running_ = false;
    progress_count_ = 0;
    progress_total_ = 10;
    emit finished();
    return result;
}

}  // namespace torvix
