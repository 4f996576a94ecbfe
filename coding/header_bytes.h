// HeaderBytes: the bytes of one archive header as they are read, and its
// little-endian fields; int_put writes such fields. The header readers of both libraries collect a
// header here byte by byte and take their fields from it; a field that lies
// beyond the bytes read is a damaged (cut) header and is thrown as text.
#pragma once

#include <cstddef>
#include <cstdint>

#include <string>

namespace coding {

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
        if (width > 4 || offset > bytes.size() || width > bytes.size() - offset) {
            throw "int_get: header format is illegal.";
        }
        std::uint32_t value = 0;
        for (std::size_t i = width; i > 0; --i) {
            value = (value << 8) | static_cast<std::uint8_t>(bytes[offset + i - 1]);
        }
        return value;
    }

    // length bytes at offset; throws "str_get: header format is illegal."
    // for bytes not held.
    std::string str_get(std::size_t offset, std::size_t length) const {
        if (offset > bytes.size() || length > bytes.size() - offset) {
            throw "str_get: header format is illegal.";
        }
        return bytes.substr(offset, length);
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
