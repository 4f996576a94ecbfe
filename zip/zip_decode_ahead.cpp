#include "zip_decode_ahead.h"

#include <algorithm>
#include <cstring>

#include "platform.h"
#include "zip_head_dec.h"

namespace {

// The fixed part of a local header: the name's and the extra field's
// lengths at +26 and +28, the name at +30.
constexpr std::size_t LOCAL_FIXED = 30;

std::uint16_t u16_at(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

}  // namespace

bool AheadMember::decode() {
    std::uint8_t fixed[LOCAL_FIXED];
    if (platform::read_file_at(archive_, record_.local_offset, fixed, LOCAL_FIXED) != LOCAL_FIXED) return false;
    if (std::memcmp(fixed, "PK\3\4", 4) != 0) return false;
    data_offset = record_.local_offset + LOCAL_FIXED + u16_at(fixed + 26) + u16_at(fixed + 28);
    const auto length = static_cast<std::size_t>(record_.compressed_size);
    std::vector<std::uint8_t> data(length);
    if (platform::read_file_at(archive_, data_offset, data.data(), length) != length) return false;

    std::FILE* input_file = platform::open_memory(data.data(), length, "rb");
    if (input_file == nullptr) return false;
    // One byte more than the member: a decoder that gives more shows it in
    // the count, which must be the size exactly.
    const auto size = static_cast<std::size_t>(record_.uncompressed_size);
    bytes.resize(size + 1);
    std::FILE* output_file = platform::open_memory(bytes.data(), bytes.size(), "wb");
    bool whole = false;
    if (output_file != nullptr) {
        try {
            ZipBitInStream input(input_file);
            ZipFileDecOutStream out(output_file, static_cast<std::int64_t>(size));
            decoder(input, out);
            whole = !out.write_failed() && out.count == static_cast<std::int64_t>(size) &&
                    out.crc.stored_value() == record_.crc;
        } catch (...) {
            whole = false;
        }
        if (std::fclose(output_file) != 0) whole = false;
    }
    std::fclose(input_file);
    bytes.resize(size);
    return whole;
}

void AheadMember::run() noexcept {
    try {
        clean = decode();
    } catch (...) {
        clean = false;
    }
    if (!clean) std::vector<std::uint8_t>().swap(bytes);
}

ZipDecodeAhead::ZipDecodeAhead(std::FILE* archive) : archive_(archive) {
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    // Fuzzing runs the driver's own decoding on every member.
    unavailable_ = true;
#else
    unavailable_ = !platform::has_positioned_reads_and_memory_streams();
#endif
}

ZipMemberDecoder ZipDecodeAhead::ahead_decoder_for(const ZipCentralRecord& record, bool overlapping) {
    const bool eligible = !overlapping && (record.flags & (ZIP_FLAG_ENCRYPTED | ZIP_FLAG_STRONG_ENCRYPTION)) == 0 &&
                          record.compressed_size > 0 && record.uncompressed_size > 0 &&
                          record.compressed_size <= AHEAD_MEMBER_BYTES &&
                          record.uncompressed_size <= AHEAD_MEMBER_BYTES;
    return eligible ? zip_decoder_for(record.method) : nullptr;
}

void ZipDecodeAhead::feed(const ZipDirectory& directory, const std::vector<bool>& overlapping, std::size_t next) {
    if (unavailable_) return;
    next_ = std::max(next_, next);
    if (!worth_a_thread_) {
        // Decided once, at the first member: the second thread is started
        // only when the members it could take hold enough to pay for it.
        std::uint64_t ahead = 0;
        for (std::size_t i = next_; i < directory.records.size() && ahead < START_BYTES; ++i) {
            if (ahead_decoder_for(directory.records[i], overlapping[i]) != nullptr) {
                ahead += directory.records[i].uncompressed_size;
            }
        }
        if (ahead < START_BYTES) {
            unavailable_ = true;
            return;
        }
        worth_a_thread_ = true;
    }
    if (tasks_.size() > REFILL_MEMBERS) return;
    while (next_ < directory.records.size() && tasks_.size() < AHEAD_MEMBERS) {
        const ZipCentralRecord& record = directory.records[next_];
        const ZipMemberDecoder decoder = ahead_decoder_for(record, overlapping[next_]);
        if (decoder == nullptr) {
            ++next_;
            continue;
        }
        if (queued_bytes_ + record.uncompressed_size > AHEAD_BYTES) return;
        auto task = std::make_unique<AheadMember>(archive_, record, next_, decoder);
        if (!worker_.submit(*task)) {
            unavailable_ = true;
            return;
        }
        ++next_;
        task->queued_bytes = record.uncompressed_size;
        queued_bytes_ += task->queued_bytes;
        tasks_.push_back(std::move(task));
    }
}

std::unique_ptr<AheadMember> ZipDecodeAhead::take(std::size_t index) {
    while (!tasks_.empty() && tasks_.front()->index <= index) {
        std::unique_ptr<AheadMember> task = std::move(tasks_.front());
        tasks_.pop_front();
        queued_bytes_ -= task->queued_bytes;
        AheadWorker::Claim claim = worker_.try_claim(*task);
        if (claim == AheadWorker::Claim::RUNNING) {
            worker_.wait(*task);
            claim = AheadWorker::Claim::DONE;
        }
        if (task->index == index && claim == AheadWorker::Claim::DONE && task->clean) return task;
    }
    return nullptr;
}
