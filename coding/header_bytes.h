// Little-endian fields of archive headers, read and written.
//
// LeBytes reads fields at byte offsets of a record in memory; a field that
// lies beyond the bytes in hand is one thrown text, named by the reader,
// and never a read outside the buffer. HeaderBytes collects one header
// byte by byte as it is read from the archive and takes its fields through
// LeBytes; a field beyond the bytes read is a damaged (cut) header. int_put
// writes such fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace coding {

class LeBytes {
public:
    // short_text: what is thrown when a field lies beyond bytes.
    LeBytes(std::string_view bytes, const char* short_text) : bytes_(bytes), short_text_(short_text) {}

    // The unsigned value of width (0 to 8) bytes at offset, low byte first.
    std::uint64_t get(std::size_t offset, std::size_t width) const {
        if (width > 8 || offset > bytes_.size() || width > bytes_.size() - offset) throw short_text_;
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

class HeaderBytes {
public:
    // Reads whole bytes from input (a BitInStream) until size bytes are
    // held; false when the input ends first.
    template <class Input>
    bool fill(Input& input, std::size_t size) {
        while (bytes.size() < size) {
            const int byte = input.byte_get();
            if (byte < 0) return false;
            bytes.push_back(static_cast<char>(byte));
        }
        return true;
    }

    // The unsigned little-endian value of width (0 to 4) bytes at offset;
    // throws "int_get: header format is illegal." for bytes not held.
    std::uint32_t int_get(std::size_t offset, std::size_t width) const {
        constexpr const char* ILLEGAL = "int_get: header format is illegal.";
        if (width > 4) throw ILLEGAL;
        return static_cast<std::uint32_t>(LeBytes(bytes, ILLEGAL).get(offset, width));
    }

    // length bytes at offset; throws "str_get: header format is illegal."
    // for bytes not held.
    std::string str_get(std::size_t offset, std::size_t length) const {
        return std::string(LeBytes(bytes, "str_get: header format is illegal.").part(offset, length));
    }

    std::string bytes;  // every byte of the header read so far
};

// The header writers' side: value as width little-endian bytes at offset of
// bytes (a string or a byte vector), which grows with zeros to hold them.
template <class Bytes>
void int_put(Bytes& bytes, std::size_t offset, std::uint32_t value, std::size_t width) {
    if (bytes.size() < offset + width) bytes.resize(offset + width, 0);
    for (std::size_t i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<typename Bytes::value_type>(value >> (8 * i));
    }
}

}  // namespace coding
