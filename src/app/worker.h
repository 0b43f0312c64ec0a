// The one way the window runs work off its thread: a job on a thread of its
// own, then, back on the window's thread, whatever takes its result. Heartline
// runs, the ride report's comparison, the refined try after a literal run and
// the suggested settings all go through it; nothing waits for a job in a loop
// of its own.
//
//   Idle --Start--> Running --Cancel--> Closing --job returns--> Idle
//                      \------------ job returns ----------------/
//
// A job polls the cancel flag it is handed and returns soon after it is set.
// Its result reaches `done` only while the receiver given to Start exists: a
// receiver closed or destroyed meanwhile simply never hears of it.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>

class QThread;

namespace torvix::app {

class Worker : public QObject {
    Q_OBJECT
public:
    enum class State { kIdle, kRunning, kClosing };
    using Job = std::function<void(const std::atomic<bool>& cancel)>;

    explicit Worker(QObject* parent = nullptr);
    // A job still running is cancelled and waited for; its result is dropped.
    ~Worker() override;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Starts `job` on a thread of its own. Once it has returned, and the worker
    // is idle again, `done` runs on this object's thread if `receiver` still
    // exists. Refused (false) unless idle.
    bool Start(Job job, QObject* receiver, std::function<void()> done);

    // Asks the running job to stop: Running becomes Closing until it returns.
    void Cancel();

    State state() const { return state_; }
    bool busy() const { return state_ != State::kIdle; }
    // Whether the last job was asked to stop; kept until the next Start.
    bool cancelled() const { return cancel_.load(); }

signals:
    // A job has returned and its result was handed on (or dropped).
    void finished();

private:
    void OnThreadFinished();

    State state_ = State::kIdle;
    std::atomic<bool> cancel_{false};
    QThread* thread_ = nullptr;
    QPointer<QObject> receiver_;
    std::function<void()> done_;
};

}  // namespace torvix::app
