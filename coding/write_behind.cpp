#include "write_behind.h"

#include <cstring>
#include <new>
#include <system_error>

namespace coding {

WriteBehind::~WriteBehind() {
    if (!thread_.joinable()) return;
    {
        std::unique_lock lock(mutex_);
        written_.wait(lock, [this] { return queued_count_ == 0; });
        ending_ = true;
    }
    queued_.notify_one();
    thread_.join();
}

bool WriteBehind::write_now(std::FILE* file, const std::uint8_t* data, std::size_t size, Fold fold) {
    if (fold.function != nullptr) fold.function(fold.state, data, size);
    return std::fwrite(data, 1, size, file) == size;
}

void WriteBehind::write(std::FILE* file, const std::uint8_t* data, std::size_t size, std::atomic<bool>* failed,
                        Fold fold) {
    if (size == 0) return;
    if (!thread_.joinable() && !alone_) {
        try {
            thread_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            alone_ = true;  // no thread to be had: every run is written here
        }
    }
    if (alone_) {
        if (!write_now(file, data, size, fold)) failed->store(true);
        return;
    }
    std::size_t slot;
    {
        std::unique_lock lock(mutex_);
        written_.wait(lock, [this] { return queued_count_ < SLOTS; });
        slot = (first_ + queued_count_) % SLOTS;
    }
    // The slot is not queued, so the writing thread does not look at it:
    // it is filled without the lock.
    Run& run = runs_[slot];
    if (run.bytes.size() < size) {
        try {
            run.bytes.resize(size);
        } catch (const std::bad_alloc&) {
            // Written here once the runs before it are out, in order.
            drain();
            if (!write_now(file, data, size, fold)) failed->store(true);
            return;
        }
    }
    std::memcpy(run.bytes.data(), data, size);
    run.file = file;
    run.size = size;
    run.failed = failed;
    run.fold = fold;
    {
        std::lock_guard lock(mutex_);
        ++queued_count_;
    }
    queued_.notify_one();
}

void WriteBehind::drain() {
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] { return queued_count_ == 0; });
}

void WriteBehind::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return queued_count_ > 0 || ending_; });
        if (queued_count_ == 0) return;
        Run& run = runs_[first_];
        lock.unlock();
        const bool ok = write_now(run.file, run.bytes.data(), run.size, run.fold);
        lock.lock();
        if (!ok) run.failed->store(true);
        first_ = (first_ + 1) % SLOTS;
        --queued_count_;
        written_.notify_all();
    }
}

}  // namespace coding
