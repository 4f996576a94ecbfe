// AheadWorker: a second thread that does the work of later members while
// the creation driver writes the earlier ones.
//
// The driver writes members strictly in list order, but the costly part of
// a member, its compression, depends on nothing but its own source. So the
// driver hands the members after the current one to this thread as tasks,
// each of which compresses its source into memory; when the driver reaches
// such a member it either finds the task done and writes its result, or
// takes the task back before it has started and does the member itself, as
// it would without the worker. The archive is the same either way.
//
// Tasks run one at a time, in the order they were handed over. A task's
// run() must not throw: whatever goes wrong in it is recorded in the task,
// and the driver then does the member itself again (which reports the
// problem as it always has).
//
// One object per archive; the thread starts with the first task and is
// joined when the object goes. Tasks not yet started are dropped then, and
// a running one is finished first, so tasks must outlive the worker.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class AheadTask {
public:
    AheadTask() = default;
    virtual ~AheadTask() = default;
    AheadTask(const AheadTask&) = delete;
    AheadTask& operator=(const AheadTask&) = delete;

    virtual void run() noexcept = 0;

private:
    friend class AheadWorker;
    enum class State { QUEUED, RUNNING, DONE, TAKEN_BACK };
    State state_ = State::QUEUED;
};

class AheadWorker {
public:
    AheadWorker() = default;
    ~AheadWorker();
    AheadWorker(const AheadWorker&) = delete;
    AheadWorker& operator=(const AheadWorker&) = delete;

    // Queues task (not owned). False when no thread can be had: the task
    // is not queued, and the caller does the member itself.
    bool submit(AheadTask& task);

    enum class Claim { DONE, TAKEN_BACK, RUNNING };
    // DONE when the task has run; TAKEN_BACK when it had not started (it
    // then never runs here); RUNNING when it is running now.
    Claim try_claim(AheadTask& task);
    // Returns once a task that was running has run.
    void wait(AheadTask& task);
    // Takes back the first task not yet started; null when none is left.
    AheadTask* take_back_first();

private:
    void work();

    std::mutex mutex_;
    std::condition_variable queued_;  // a task was queued, or the end asked for
    std::condition_variable done_;    // a task has run
    std::deque<AheadTask*> queue_;
    std::thread thread_;
    bool alone_ = false;  // the thread could not be started
    bool ending_ = false;
};
