// LeBytes: little-endian fields at byte offsets of a record in memory.
//
// The ZIP directory readers take every field through it, so that a field
// that lies beyond the bytes in hand is one thrown text, named by the
// reader, and never a read outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

class LeBytes {
public:
    // short_text: what is thrown when a field lies beyond bytes.
    LeBytes(std::string_view bytes, const char* short_text) : bytes_(bytes), short_text_(short_text) {}

    // The unsigned value of width (1 to 8) bytes at offset, low byte first.
    std::uint64_t get(std::size_t offset, std::size_t width) const {
        if (offset > bytes_.size() || width > bytes_.size() - offset) throw short_text_;
        std::uint64_t value = 0;
        for (std::size_t i = width; i-- > 0;) value = (value << 8) | static_cast<std::uint8_t>(bytes_[offset + i]);
        return value;
    }
    std::uint16_t u16(std::size_t offset) const { return static_cast<std::uint16_t>(get(offset, 2)); }
    std::uint32_t u32(std::size_t offset) const { return static_cast<std::uint32_t>(get(offset, 4)); }
    std::uint64_t u64(std::size_t offset) const { return get(offset, 8); }
    // length bytes at offset.
    std::string_view part(std::size_t offset, std::size_t length) const {
        if (offset > bytes_.size() || length > bytes_.size() - offset) throw short_text_;
        return bytes_.substr(offset, length);
    }
    std::size_t size() const { return bytes_.size(); }

private:
    std::string_view bytes_;
    const char* short_text_;
};
