// The hand-over between the creation driver and its second thread: a task
// runs once, on one side only; the driver can take back any task that has
// not started, the first one on request; and a worker that goes drops the
// tasks it has not started and finishes the one it is running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ahead_worker.h"

namespace {

// A task that, once started, waits until it is let go.
class GatedTask : public AheadTask {
public:
    void run() noexcept override {
        std::unique_lock lock(mutex_);
        started_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        ++runs;
    }
    void wait_started() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }
    void let_go() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    std::atomic<int> runs{0};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    bool open_ = false;
};

TEST(AheadWorker, TasksRunOnceOnOneSide) {
    GatedTask first, second, third, fourth;
    {
        AheadWorker worker;
        for (GatedTask* task : {&first, &second, &third, &fourth}) ASSERT_TRUE(worker.submit(*task));
        first.wait_started();
        EXPECT_EQ(worker.try_claim(first), AheadWorker::Claim::RUNNING);
        // The first not started, then one further on, are taken back.
        EXPECT_EQ(worker.take_back_first(), &second);
        EXPECT_EQ(worker.try_claim(fourth), AheadWorker::Claim::TAKEN_BACK);
        EXPECT_EQ(worker.try_claim(second), AheadWorker::Claim::TAKEN_BACK);
        first.let_go();
        worker.wait(first);
        EXPECT_EQ(worker.try_claim(first), AheadWorker::Claim::DONE);
        third.wait_started();
        EXPECT_EQ(worker.take_back_first(), nullptr);
        third.let_go();
        worker.wait(third);
        EXPECT_EQ(worker.try_claim(third), AheadWorker::Claim::DONE);
    }
    EXPECT_EQ(first.runs, 1);
    EXPECT_EQ(second.runs, 0);
    EXPECT_EQ(third.runs, 1);
    EXPECT_EQ(fourth.runs, 0);
}

TEST(AheadWorker, GoingFinishesTheRunningTaskAndDropsTheRest) {
    GatedTask running, waiting;
    waiting.let_go();  // it would not hold the worker up if it ran
    std::thread letting_go;
    {
        AheadWorker worker;
        ASSERT_TRUE(worker.submit(running));
        ASSERT_TRUE(worker.submit(waiting));
        running.wait_started();
        // Let go only once the worker is going (the delay is ample), so
        // the worker cannot reach the second task before that.
        letting_go = std::thread([&running] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            running.let_go();
        });
    }
    letting_go.join();
    EXPECT_EQ(running.runs, 1);
    EXPECT_EQ(waiting.runs, 0);
}

}  // namespace
