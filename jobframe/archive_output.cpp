// The archive file of a creation driver (see archive_output.h).
#include "archive_output.h"

#include <algorithm>

#include "platform.h"

ArchiveOutput::ArchiveOutput(const WideString& path) : file_(platform::open_file(path, "wb")), owned_(true) {
    // A member's pieces gather in buffer_; the file's own buffer would
    // only copy them again.
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
    buffer_.reserve(BUFFER_SIZE);
}

ArchiveOutput::ArchiveOutput(std::FILE* file) : file_(file), owned_(false) { buffer_.reserve(BUFFER_SIZE); }

void ArchiveOutput::write(const void* bytes, std::size_t size) {
    if (failed_ || file_ == nullptr || size == 0) return;
    if (buffer_.size() + size > BUFFER_SIZE) {
        flush();
        if (failed_) return;
        if (size >= BUFFER_SIZE) {
            write_through(bytes, size);
            if (!failed_) position_ += size;
            return;
        }
    }
    const auto* from = static_cast<const std::uint8_t*>(bytes);
    buffer_.insert(buffer_.end(), from, from + size);
    position_ += size;
}

void ArchiveOutput::write_through(const void* bytes, std::size_t size) {
    if (failed_ || size == 0) return;
    if (std::fwrite(bytes, 1, size, file_) != size) {
        failed_ = true;
        return;
    }
    // The file stands where the buffer begins, position_ - buffer_.size()
    // before this write.
    const std::uint64_t reached = position_ - buffer_.size() + size;
    written_end_ = std::max(written_end_, reached);
}

void ArchiveOutput::flush() {
    if (failed_ || file_ == nullptr) return;
    if (!buffer_.empty()) {
        const std::size_t size = buffer_.size();
        if (std::fwrite(buffer_.data(), 1, size, file_) != size) {
            failed_ = true;
            return;
        }
        written_end_ = std::max(written_end_, position_);
        buffer_.clear();
    }
    if (std::fflush(file_) != 0) failed_ = true;
}

void ArchiveOutput::seek(std::uint64_t offset) {
    if (failed_ || file_ == nullptr) return;
    if (!platform::seek_file(file_, offset)) failed_ = true;
}

void ArchiveOutput::patch(std::uint64_t offset, const void* bytes, std::size_t size) {
    if (failed_ || offset + size > position_) {
        // What came before the fault still reaches the file.
        flush();
        failed_ = true;
        return;
    }
    const std::uint64_t buffered_from = position_ - buffer_.size();
    if (offset >= buffered_from) {
        std::copy_n(static_cast<const std::uint8_t*>(bytes), size,
                    buffer_.begin() + static_cast<std::ptrdiff_t>(offset - buffered_from));
        flush();
        return;
    }
    flush();
    const std::uint64_t end = position_;
    seek(offset);
    position_ = offset;
    write_through(bytes, size);
    seek(end);
    position_ = end;
    if (!failed_ && std::fflush(file_) != 0) failed_ = true;
}

void ArchiveOutput::rewind(std::uint64_t offset) {
    if (failed_ || offset > position_) return;
    const std::uint64_t buffered_from = position_ - buffer_.size();
    if (offset >= buffered_from) {
        buffer_.resize(static_cast<std::size_t>(offset - buffered_from));
        position_ = offset;
        return;
    }
    buffer_.clear();
    seek(offset);
    position_ = offset;
}

bool ArchiveOutput::close() {
    if (file_ == nullptr) return !failed_;
    flush();
    if (!failed_ && written_end_ > position_ && !platform::truncate_file(file_, position_)) failed_ = true;
    if (owned_) {
        if (std::fclose(file_) != 0) failed_ = true;
    } else if (!failed_ && std::fflush(file_) != 0) {
        failed_ = true;
    }
    file_ = nullptr;
    return !failed_;
}

void MemberData::take(std::vector<std::uint8_t>& sink) {
    if (length_ < limit_) {
        const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(limit_ - length_, sink.size()));
        output_.write(sink.data(), room);
    }
    length_ += sink.size();
    sink.clear();
}
