#include "ahead_worker.h"

#include <algorithm>
#include <system_error>

AheadWorker::~AheadWorker() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        for (AheadTask* task : queue_) task->state_ = AheadTask::State::TAKEN_BACK;
        queue_.clear();
        ending_ = true;
    }
    queued_.notify_one();
    thread_.join();
}

bool AheadWorker::submit(AheadTask& task) {
    if (alone_) return false;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            alone_ = true;
            return false;
        }
    }
    {
        std::lock_guard lock(mutex_);
        task.state_ = AheadTask::State::QUEUED;
        queue_.push_back(&task);
    }
    queued_.notify_one();
    return true;
}

AheadWorker::Claim AheadWorker::try_claim(AheadTask& task) {
    std::lock_guard lock(mutex_);
    switch (task.state_) {
    case AheadTask::State::RUNNING: return Claim::RUNNING;
    case AheadTask::State::DONE: return Claim::DONE;
    case AheadTask::State::QUEUED:
    case AheadTask::State::TAKEN_BACK: break;
    }
    const auto queued = std::find(queue_.begin(), queue_.end(), &task);
    if (queued != queue_.end()) queue_.erase(queued);
    task.state_ = AheadTask::State::TAKEN_BACK;
    return Claim::TAKEN_BACK;
}

void AheadWorker::wait(AheadTask& task) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&task] { return task.state_ != AheadTask::State::RUNNING; });
}

AheadTask* AheadWorker::take_back_first() {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return nullptr;
    AheadTask* task = queue_.front();
    queue_.pop_front();
    task->state_ = AheadTask::State::TAKEN_BACK;
    return task;
}

void AheadWorker::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return !queue_.empty() || ending_; });
        if (queue_.empty()) return;
        AheadTask* task = queue_.front();
        queue_.pop_front();
        task->state_ = AheadTask::State::RUNNING;
        lock.unlock();
        task->run();
        lock.lock();
        task->state_ = AheadTask::State::DONE;
        done_.notify_all();
    }
}
