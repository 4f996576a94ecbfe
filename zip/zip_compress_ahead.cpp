#include "zip_compress_ahead.h"

#include <algorithm>

#include "coding_set.h"
#include "deflate_block_enc.h"
#include "zip_create.h"

void AheadFile::keep(std::vector<std::uint8_t>& sink) {
    // As MemberData: past the file's size only the length counts.
    const auto limit = static_cast<std::uint64_t>(std::max<std::int64_t>(input.size(), 0));
    if (length < limit) {
        const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(limit - length, sink.size()));
        data.insert(data.end(), sink.begin(), sink.begin() + static_cast<std::ptrdiff_t>(room));
    }
    length += sink.size();
    sink.clear();
}

void AheadFile::compress(DeflateEnc& encoder) noexcept {
    try {
        data.reserve(static_cast<std::size_t>(std::max<std::int64_t>(input.size(), 0)));
        std::vector<std::uint8_t> piece;
        {
            coding::ZipCoding::BitOutStream bits(piece, [this](std::vector<std::uint8_t>& sink) { keep(sink); });
            DeflateBlockEnc blocks(bits, encoder.block_entries());
            encoder.compress(input.file(), blocks);
            blocks.finish();
            bits.flush();
        }
        keep(piece);
        clean = !encoder.read_failed();
        bytes_read = encoder.bytes_read();
        crc = ~encoder.crc.value;
    } catch (...) {
        clean = false;
    }
    if (!clean) std::vector<std::uint8_t>().swap(data);
    input.close();
}

void ZipAhead::feed(SourceList<ZipEntry>& list, std::size_t current, const InputFile& like) {
    next_ = std::max(next_, current + 1);
    while (next_ < list.size() && tasks_.size() < limits_.files) {
        ZipEntry& entry = list[next_];
        // The driver changes directory there: the rest waits until it has.
        if (!entry.directory.empty()) return;
        const std::int64_t size = entry.uncompressed_size;
        if (SourceEntryTraits<ZipEntry>::is_directory(entry) || size <= 0 || size > limits_.file_bytes) {
            ++next_;
            continue;
        }
        if (queued_bytes_ + static_cast<std::uint64_t>(size) > limits_.bytes) return;
        ++next_;
        if (encoder_ == nullptr) encoder_ = std::make_unique<DeflateEnc>(level_);
        auto task = std::make_unique<AheadFile>(*encoder_, next_ - 1);
        task->input.before_open = like.before_open;
        if (!task->input.open(entry.path)) continue;
        if (!worker_.submit(*task)) return;
        task->queued_bytes = static_cast<std::uint64_t>(size);
        queued_bytes_ += task->queued_bytes;
        tasks_.push_back(std::move(task));
    }
}

std::unique_ptr<AheadFile> ZipAhead::take(std::size_t index, DeflateEnc& encoder) {
    // The driver takes every queued record in order; a task it passed
    // over all the same would be dropped on the way.
    while (!tasks_.empty() && tasks_.front()->index() <= index) {
        AheadFile& task = *tasks_.front();
        // ran is written on this thread only: for a task of the worker
        // once the worker says it is done.
        while (!task.ran) {
            const AheadWorker::Claim claim = worker_.try_claim(task);
            if (claim == AheadWorker::Claim::TAKEN_BACK) break;
            if (claim == AheadWorker::Claim::DONE) {
                task.ran = true;
                break;
            }
            // The worker is on it: do the first task not started meanwhile.
            auto* next = static_cast<AheadFile*>(worker_.take_back_first());
            if (next == nullptr) {
                worker_.wait(task);
                task.ran = true;
                break;
            }
            next->compress(encoder);
            next->ran = true;
        }
        std::unique_ptr<AheadFile> taken = std::move(tasks_.front());
        tasks_.pop_front();
        queued_bytes_ -= taken->queued_bytes;
        if (taken->index() == index) return taken;
    }
    return nullptr;
}
