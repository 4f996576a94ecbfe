// Decoding ahead: while the extraction driver writes one member of a ZIP
// archive read through its central directory, the members after it are
// decoded into memory on a second thread (ahead_worker.h), so that a job of
// many members keeps both cores busy: the driver creates, writes and names
// the files, the second thread decodes.
//
// A member decoded ahead is used only when the decoding could not have gone
// otherwise on the driver's side: it read the member's data at the offset
// the driver finds behind the local header, ended without an error, gave
// exactly the central record's size and its CRC-32. Then its bytes are the
// ones the driver's own decoder would give, and they go to the same output
// stream in one piece. Anything else (a damaged or cut member, one whose
// data runs past its recorded size, a local header that disagrees) is
// dropped and decoded by the driver as always, with its usual lines.
//
// The second thread never moves the archive's stream: it reads with
// positioned reads of the file (platform::read_file_at). Where the system
// has no such reads or no streams in memory, nothing is decoded ahead.
//
// Starting the thread (its stack, its own heap) costs about what decoding a
// few dozen kilobytes does: an archive whose members to decode ahead hold
// less than START_BYTES together, a small one, is decoded by the driver
// alone, as it was before.
//
// Members of up to AHEAD_MEMBER_BYTES (decoded and compressed) are queued,
// AHEAD_BYTES of decoded size at a time, so memory stays bounded. Larger
// members are decoded by the driver as before, their runs written behind on
// a thread of their own (write_behind.h) while the worker goes on with the
// members after them.
//
// The queue is topped up once it is down to REFILL_MEMBERS, not after every
// member: the thread, faster than the driver on small members, otherwise
// ran dry at each one and was woken again, a handful of system calls per
// member (8% of a job of 5000 small files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "ahead_worker.h"
#include "zip_central_dir.h"
#include "zip_extract.h"

class AheadMember : public AheadTask {
public:
    AheadMember(std::FILE* archive, const ZipCentralRecord& record, std::size_t index, ZipMemberDecoder decoder)
        : index(index), decoder(decoder), archive_(archive), record_(record) {}
    void run() noexcept override;

    const std::size_t index;
    const ZipMemberDecoder decoder;
    std::uint64_t queued_bytes = 0;  // what it counts against AHEAD_BYTES
    // Results of a clean run: where the data began and the decoded bytes.
    bool clean = false;
    std::uint64_t data_offset = 0;
    std::vector<std::uint8_t> bytes;

private:
    bool decode();

    std::FILE* archive_;
    const ZipCentralRecord& record_;
};

class ZipDecodeAhead {
public:
    static constexpr std::uint64_t AHEAD_MEMBER_BYTES = ZipFileDecOutStream::WRITE_BEHIND_FROM;
    static constexpr std::uint64_t AHEAD_BYTES = std::uint64_t{8} << 20;
    static constexpr std::size_t AHEAD_MEMBERS = 64;
    static constexpr std::size_t REFILL_MEMBERS = AHEAD_MEMBERS / 2;
    static constexpr std::uint64_t START_BYTES = AHEAD_MEMBER_BYTES;

    explicit ZipDecodeAhead(std::FILE* archive);
    ZipDecodeAhead(const ZipDecodeAhead&) = delete;
    ZipDecodeAhead& operator=(const ZipDecodeAhead&) = delete;

    // Queues the records from next on that may be decoded ahead, as far as
    // the limits let. overlapping: the records whose data others share.
    void feed(const ZipDirectory& directory, const std::vector<bool>& overlapping, std::size_t next);
    // The clean result of the record at index, when it was queued and ran
    // (waiting while it runs); null otherwise, and for every record before.
    std::unique_ptr<AheadMember> take(std::size_t index);

private:
    // The decoder of a member that may be decoded ahead; null for the others.
    static ZipMemberDecoder ahead_decoder_for(const ZipCentralRecord& record, bool overlapping);

    std::FILE* archive_;
    std::deque<std::unique_ptr<AheadMember>> tasks_;  // in record order
    std::size_t next_ = 0;                            // the first record not looked at
    std::uint64_t queued_bytes_ = 0;
    bool unavailable_ = false;  // not on this system or build, not worth it, or no thread to be had
    bool worth_a_thread_ = false;
    AheadWorker worker_;  // declared last: it stops before the tasks go
};
