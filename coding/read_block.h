// ReadBlock: a fixed-size byte buffer for reads from a file.
//
// Its bytes start uninitialised. Only the bytes a read delivered are ever
// looked at, and clearing a 64 KiB buffer first costs more than reading a
// small archive into it (the ZIP reader makes one per member).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace coding {

class ReadBlock {
public:
    explicit ReadBlock(std::size_t size) : size_(size), bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(size)) {}

    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::uint8_t& operator[](std::size_t index) { return bytes_[index]; }
    const std::uint8_t& operator[](std::size_t index) const { return bytes_[index]; }

private:
    std::size_t size_;
    std::unique_ptr<std::uint8_t[]> bytes_;
};

}  // namespace coding
