#include "app/worker.h"

#include <QThread>

namespace torvix::app {

Worker::Worker(QObject* parent) : QObject(parent) {}

Worker::~Worker() {
    if (thread_ == nullptr) return;
    // The job may reach what its owner is about to destroy: wait for it.
    cancel_.store(true);
    thread_->wait();
    delete thread_;
}

bool Worker::Start(Job job, QObject* receiver, std::function<void()> done) {
    if (state_ != State::kIdle) return false;
    state_ = State::kRunning;
    cancel_.store(false);
    receiver_ = receiver;
    done_ = std::move(done);
    thread_ = QThread::create([this, job = std::move(job)] { job(cancel_); });
    // QThread::finished comes from the job's thread; the slot runs on ours.
    connect(thread_, &QThread::finished, this, &Worker::OnThreadFinished, Qt::QueuedConnection);
    thread_->start();
    return true;
}

void Worker::Cancel() {
    if (state_ != State::kRunning) return;
    state_ = State::kClosing;
    cancel_.store(true);
}

void Worker::OnThreadFinished() {
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    // Idle before the result is handed on, so that whoever takes it may start the next job.
    state_ = State::kIdle;
    const std::function<void()> done = std::move(done_);
    done_ = nullptr;
    if (done && receiver_ != nullptr) done();
    emit finished();
}

}  // namespace torvix::app
