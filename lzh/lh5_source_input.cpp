#include "lh5_source_input.h"

namespace lzh {

int LH5SourceInput::byte_get() {
    if (ended_) return -1;
    const int c = std::fgetc(source_);
    if (c == EOF) {
        end_input();
        return -1;
    }
    crc_.update(static_cast<std::uint8_t>(c));
    ++bytes_read_;
    return c;
}

std::size_t LH5SourceInput::read(std::uint8_t* data, std::size_t size) {
    if (ended_ || size == 0) return 0;
    // fread keeps reading until it has size bytes, so a short count means
    // the end of the file or an error.
    const std::size_t got = std::fread(data, 1, size, source_);
    crc_.update(data, got);
    bytes_read_ += static_cast<std::int64_t>(got);
    if (got < size) end_input();
    return got;
}

void LH5SourceInput::end_input() {
    ended_ = true;
    if (source_ != nullptr && std::ferror(source_)) read_error_ = true;
}

}  // namespace lzh
