// The archive file of a creation driver (see archive_output.h).
#include "archive_output.h"

#include <algorithm>

#include "platform.h"

ArchiveOutput::ArchiveOutput(const WideString& path) : file_(platform::open_file(path, "wb")), owned_(true) {
    // The headers are small pieces; the buffer spares a system call each.
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IOFBF, BUFFER_SIZE);
}

ArchiveOutput::ArchiveOutput(std::FILE* file) : file_(file), owned_(false) {}

void ArchiveOutput::write(const void* bytes, std::size_t size) {
    if (failed_ || file_ == nullptr || size == 0) return;
    if (std::fwrite(bytes, 1, size, file_) != size) {
        failed_ = true;
        return;
    }
    position_ += size;
    written_end_ = std::max(written_end_, position_);
}

void ArchiveOutput::seek(std::uint64_t offset) {
    if (failed_ || file_ == nullptr) return;
    if (!platform::seek_file(file_, offset)) failed_ = true;
}

void ArchiveOutput::patch(std::uint64_t offset, const void* bytes, std::size_t size) {
    if (failed_ || offset + size > position_) {
        failed_ = true;
        return;
    }
    const std::uint64_t end = position_;
    seek(offset);
    position_ = offset;
    write(bytes, size);
    seek(end);
    position_ = end;
}

void ArchiveOutput::rewind(std::uint64_t offset) {
    if (failed_ || offset > position_) return;
    seek(offset);
    position_ = offset;
}

bool ArchiveOutput::close() {
    if (file_ == nullptr) return !failed_;
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
