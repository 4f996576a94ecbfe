// BitOutStream: collects bits and appends whole bytes to a byte array in
// memory.
//
// Bits gather in a 32-byte buffer and move to the sink 32 bytes at a time
// (when the 256th bit arrives) and at flush, which pads the last byte with
// zero bits. The sink belongs to the caller. Destruction flushes too, so a
// last partial byte is never lost.
//
// A stream with a drain hands the sink to it whenever it holds DRAIN_SIZE
// bytes or more, and the drain takes the bytes out (it writes them to the
// archive and clears the sink): the data of a member of any size then
// passes through a buffer of bounded size. Bytes still in the sink after
// the last flush are the caller's to take.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "bit_order.h"

namespace coding {

// Takes the bytes out of a full sink.
using ByteDrain = std::function<void(std::vector<std::uint8_t>& sink)>;

template <BitOrder Order>
class BitOutStream {
public:
    static constexpr std::size_t DRAIN_SIZE = std::size_t{1} << 16;

    explicit BitOutStream(std::vector<std::uint8_t>& sink, ByteDrain drain = {})
        : sink_(sink), drain_(std::move(drain)) {}

    BitOutStream(const BitOutStream&) = delete;
    BitOutStream& operator=(const BitOutStream&) = delete;

    ~BitOutStream() {
        try {
            flush();
        } catch (...) {
            // Out of memory while appending: a destructor must not throw.
            // Creation drivers flush explicitly before they use the sink.
        }
    }

    // Appends one bit: 1 sets it, any other value leaves it 0.
    void bit_put(int bit) {
        if (bit == 1) buffer_[count_ / 8] |= place_mask(count_ % 8);
        if (++count_ == BUFFER_BITS) flush();
    }

    // Appends the n low bits of value (0 <= n <= 32) in the library's order:
    // most significant first sends bit n - 1 first, least significant first
    // sends bit 0 first.
    void n_bit_put(std::uint32_t value, int n) {
        if (n < 0 || n > 32) throw "n_bit_put: out of range.";
        if constexpr (Order == BitOrder::LSB_FIRST && std::endian::native == std::endian::little) {
            // Least significant first on a little-endian machine: the field
            // lands in one 64-bit OR at the current byte (it spans at most
            // five bytes), and the bytes past count_ stay zero.
            std::uint8_t* const at = buffer_.data() + count_ / 8;
            std::uint64_t word;
            std::memcpy(&word, at, sizeof word);
            word |= std::uint64_t{value & low_mask(n)} << (count_ % 8);
            std::memcpy(at, &word, sizeof word);
            count_ += n;
            if (count_ >= BUFFER_BITS) spill();
            return;
        }
        // Several bits at a time, as many as the current byte has room for;
        // the result is that of n single bit_put calls.
        while (n > 0) {
            const int place = count_ % 8;
            const int room = 8 - place;
            const int step = std::min(room, n);
            std::uint32_t chunk;
            if constexpr (Order == BitOrder::MSB_FIRST) {
                chunk = (value >> (n - step)) & low_mask(step);
                buffer_[count_ / 8] |= static_cast<std::uint8_t>(chunk << (room - step));
            } else {
                chunk = value & low_mask(step);
                value >>= step;
                buffer_[count_ / 8] |= static_cast<std::uint8_t>(chunk << place);
            }
            n -= step;
            count_ += step;
            if (count_ == BUFFER_BITS) flush();
        }
    }

    // Moves the buffered bits, padded with zero bits to a whole byte, to the
    // sink.
    void flush() {
        if (count_ < 1) return;
        sink_.insert(sink_.end(), buffer_.begin(), buffer_.begin() + (count_ + 7) / 8);
        std::fill_n(buffer_.begin(), (count_ + 7) / 8, std::uint8_t{0});
        count_ = 0;
        if (drain_ && sink_.size() >= DRAIN_SIZE) drain_(sink_);
    }

private:
    static constexpr int BUFFER_BITS = 256;
    // Room past BUFFER_BITS for the wide stores of n_bit_put.
    static constexpr std::size_t SLACK_BYTES = 8;

    // Moves the first BUFFER_BITS bits to the sink and the bits beyond them
    // to the start of the buffer.
    void spill() {
        sink_.insert(sink_.end(), buffer_.begin(), buffer_.begin() + BUFFER_BITS / 8);
        std::copy_n(buffer_.begin() + BUFFER_BITS / 8, SLACK_BYTES, buffer_.begin());
        std::fill(buffer_.begin() + SLACK_BYTES, buffer_.end(), std::uint8_t{0});
        count_ -= BUFFER_BITS;
        if (drain_ && sink_.size() >= DRAIN_SIZE) drain_(sink_);
    }

    // The bit of a byte that is sent at place 0 to 7 of that byte.
    static constexpr std::uint8_t place_mask(int place) {
        return Order == BitOrder::MSB_FIRST ? static_cast<std::uint8_t>(0x80 >> place)
                                            : static_cast<std::uint8_t>(0x01 << place);
    }

    std::array<std::uint8_t, BUFFER_BITS / 8 + SLACK_BYTES> buffer_{};  // zero beyond count_
    int count_ = 0;                                       // bits buffered, below 256 between calls
    std::vector<std::uint8_t>& sink_;
    ByteDrain drain_;
};

}  // namespace coding
