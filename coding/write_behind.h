// WriteBehind: a second thread that writes a large entry's decoded runs to
// its file while the decoder goes on with the next run.
//
// Writing a run costs about a third as much as decoding it (the system
// copies it into the file's pages), so for a large entry the two can
// overlap. Small entries gain nothing: handing a run over costs more than
// the write, and they are written in place as before.
//
// A run is copied into one of two slots and queued; the caller waits only
// when both slots are still being written. Runs are written in the order
// given, each with one fwrite to the file it came with. A failed write sets
// the flag passed with the run (at once, so a decoder can stop early).
// A run may come with a fold, which the thread applies to the bytes just
// before it writes them: the entry's CRC, so that the decoding thread does
// not pass over every byte a second time (the runs are folded in the order
// given, as a CRC needs). What a fold updates belongs to the thread until
// drain() returns.
// drain() waits until every queued run is written; only after it may the
// caller touch the file again.
//
// One object per extraction job: the thread starts with the first run and
// is joined when the object goes (after a drain), in the job's own scope.
// A single thread queues runs.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace coding {

class WriteBehind {
public:
    // What is applied to a run's bytes before they are written; no
    // function: nothing.
    struct Fold {
        void (*function)(void* state, const std::uint8_t* data, std::size_t size) = nullptr;
        void* state = nullptr;
    };

    WriteBehind() = default;
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Queues a copy of size bytes for file; *failed is set when the write
    // fails. Where no thread or no slot can be had, the run is folded and
    // written here instead, after the ones queued before it.
    void write(std::FILE* file, const std::uint8_t* data, std::size_t size, std::atomic<bool>* failed,
               Fold fold);
    // Returns when every queued run is written.
    void drain();

private:
    static constexpr std::size_t SLOTS = 2;
    struct Run {
        std::FILE* file = nullptr;
        std::size_t size = 0;
        std::atomic<bool>* failed = nullptr;
        Fold fold;
        std::vector<std::uint8_t> bytes;
    };

    void work();
    // Folds and writes a run on the calling thread.
    static bool write_now(std::FILE* file, const std::uint8_t* data, std::size_t size, Fold fold);

    std::mutex mutex_;
    std::condition_variable queued_;   // a run was queued, or the end asked for
    std::condition_variable written_;  // a run was written
    std::array<Run, SLOTS> runs_;
    std::size_t first_ = 0;  // the oldest queued run
    std::size_t queued_count_ = 0;
    bool ending_ = false;
    bool alone_ = false;  // no thread could be started
    std::thread thread_;
};

}  // namespace coding
