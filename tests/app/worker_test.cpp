// The worker: one job at a time off the caller's thread, its result handed
// back only to a receiver that still exists, and never a thread left behind.
#include "app/worker.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace torvix::app;

namespace torvix {
namespace {

// A job that runs until it is cancelled or `go` is set.
Worker::Job Waiting(const std::atomic<bool>& go, std::atomic<bool>* ended = nullptr) {
    return [&go, ended](const std::atomic<bool>& cancel) {
        while (!go.load() && !cancel.load()) QThread::msleep(1);
        if (ended) ended->store(true);
    };
}

TEST(Worker, HandsTheResultOnlyToAReceiverThatStillExists) {
    Worker worker;
    int delivered = 0;
    std::atomic<bool> go{false};
    auto gone = std::make_unique<QObject>();
    ASSERT_TRUE(worker.Start(Waiting(go), gone.get(), [&] { ++delivered; }));
    EXPECT_EQ(worker.state(), Worker::State::kRunning);
    EXPECT_FALSE(worker.Start(Waiting(go), gone.get(), [&] { ++delivered; })) << "one job at a time";
    gone.reset();
    go = true;
    QSignalSpy finished(&worker, &Worker::finished);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(worker.state(), Worker::State::kIdle);

    // Cancelled: Closing until the job has returned; a live receiver still hears of it.
    QObject receiver;
    go = false;
    ASSERT_TRUE(worker.Start(Waiting(go), &receiver, [&] { ++delivered; }));
    worker.Cancel();
    EXPECT_EQ(worker.state(), Worker::State::kClosing);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(delivered, 1);
    EXPECT_TRUE(worker.cancelled());
    EXPECT_EQ(worker.state(), Worker::State::kIdle);
}

TEST(Worker, DestroyedWhileRunningItStopsAndWaitsForTheJob) {
    std::atomic<bool> never{false}, ended{false};
    int delivered = 0;
    QObject receiver;
    {
        Worker worker;
        ASSERT_TRUE(worker.Start(Waiting(never, &ended), &receiver, [&] { ++delivered; }));
    }
    EXPECT_TRUE(ended.load());
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);
}

}  // namespace
}  // namespace torvix
