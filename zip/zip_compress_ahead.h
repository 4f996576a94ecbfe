// Compressing ahead: while the ZIP creation driver compresses and writes one
// file, the files after it are compressed into memory on a second thread
// (ahead_worker.h), so that a job of many files keeps both cores busy.
//
// Every file is compressed on its own from a fresh start, so its data is
// the same bytes whichever thread made it, and the archive does not change.
//
// The driver opens the files it queues itself, in the order of the list and
// in its own current directory: a queue stops at a record that changes the
// directory, and goes on once the driver has passed it. A file that cannot
// be opened then is not queued; the driver tries it again in its turn and
// reports it as always. So does it when the task did not end cleanly (a
// read error, no memory, a text thrown by the coder): the task's result is
// dropped and the file is done again.
//
// Memory stays bounded: a queued file keeps at most its size of compressed
// data (past that, Deflate has not paid and the file will be stored), and
// the files queued and not yet written add up to at most AheadLimits::bytes.
// A file larger than AheadLimits::file_bytes is never queued: the driver
// streams it to the archive itself while the worker goes on with the files
// after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "ahead_worker.h"
#include "archive_files.h"
#include "deflate_enc.h"
#include "source_list.h"
#include "zip_entry.h"

struct AheadLimits {
    std::uint64_t bytes = std::uint64_t{8} << 20;       // queued and not yet written, in all
    std::int64_t file_bytes = std::int64_t{4} << 20;    // the largest file queued
    std::size_t files = 64;                             // open at a time
};

// One queued file and, once it has run, its compressed form.
class AheadFile : public AheadTask {
public:
    AheadFile(DeflateEnc& encoder, std::size_t index) : encoder_(encoder), index_(index) {}

    InputFile input;  // opened by the driver
    std::size_t index() const { return index_; }
    std::uint64_t queued_bytes = 0;  // what it counts against AheadLimits::bytes

    // On the worker, with the worker's encoder.
    void run() noexcept override { compress(encoder_); }
    // Compresses the file into memory with encoder.
    void compress(DeflateEnc& encoder) noexcept;

    // Set by ZipAhead::take: whether the task ran, on either thread. A task
    // taken back that did not is still open at the start of its file.
    bool ran = false;
    // Results of a run that ended cleanly: the first bytes of the data (at
    // most the file's size at opening), the data's whole length, the bytes
    // read and their CRC-32 (complemented, as stored).
    bool clean = false;
    std::vector<std::uint8_t> data;
    std::uint64_t length = 0;
    std::int64_t bytes_read = 0;
    std::uint32_t crc = 0;

private:
    void keep(std::vector<std::uint8_t>& sink);

    DeflateEnc& encoder_;  // the worker's, used by one task at a time
    std::size_t index_;
};

class ZipAhead {
public:
    ZipAhead(DeflateLevel level, AheadLimits limits) : level_(level), limits_(limits) {}
    ZipAhead(const ZipAhead&) = delete;
    ZipAhead& operator=(const ZipAhead&) = delete;

    // Queues files of list after the record at current (a file the driver
    // is about to do, in the current directory), as far as the limits let.
    // before_open: the hook of the driver's own input (archive_files.h).
    void feed(SourceList<ZipEntry>& list, std::size_t current, const InputFile& like);
    // The task of the record at index, when it was queued: done, or taken
    // back before it started. Null when it was not queued. While it runs
    // on the worker, the first task not started is compressed here with
    // encoder (the driver's own) instead of waiting.
    std::unique_ptr<AheadFile> take(std::size_t index, DeflateEnc& encoder);

private:
    DeflateLevel level_;
    AheadLimits limits_;
    std::unique_ptr<DeflateEnc> encoder_;  // the worker's, made with the first task
    std::deque<std::unique_ptr<AheadFile>> tasks_;  // in list order
    std::size_t next_ = 0;                 // the first record not looked at
    std::uint64_t queued_bytes_ = 0;
    AheadWorker worker_;  // declared last: it stops before the tasks go
};
