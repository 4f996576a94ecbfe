// HistoryWindow: the ring of recent output that every LZ77 decoder copies
// its matches from.
//
// The decoders of both libraries differ only in how big the ring is and
// what it holds before the first byte: Deflate keeps 64 KiB and never lets a
// match reach before the entry's first byte; the LZH methods keep from 2 KiB
// to 128 KiB, and some of them (the older LArc and LHarc methods) start
// from a ring of known contents that their encoders match against. So the
// size and the starting contents are given at construction, and the rules
// about what a match may reach stay with each decoder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace coding {

class HistoryWindow {
public:
    // size: a power of two. Every byte of the ring starts as fill.
    HistoryWindow(std::int32_t size, std::uint8_t fill)
        : ring_(static_cast<std::size_t>(size), fill), mask_(size - 1) {}

    // The ring as a whole, to lay out starting contents other than one
    // repeated byte.
    std::vector<std::uint8_t>& ring() { return ring_; }

    // Stores the next output byte.
    void put(std::uint8_t byte) {
        ring_[static_cast<std::size_t>(position_)] = byte;
        position_ = (position_ + 1) & mask_;
        ++produced_;
    }

    // Stores the next size output bytes (of which only the last ring size
    // stay).
    void put(const std::uint8_t* data, std::size_t size) {
        produced_ += static_cast<std::int64_t>(size);
        const std::size_t ring_size = ring_.size();
        if (size > ring_size) {
            data += size - ring_size;
            position_ = static_cast<std::int32_t>((static_cast<std::size_t>(position_) + size - ring_size) &
                                                  static_cast<std::size_t>(mask_));
            size = ring_size;
        }
        const std::size_t first = std::min(size, ring_size - static_cast<std::size_t>(position_));
        std::memcpy(ring_.data() + position_, data, first);
        std::memcpy(ring_.data(), data + first, size - first);
        position_ =
            static_cast<std::int32_t>((static_cast<std::size_t>(position_) + size) & static_cast<std::size_t>(mask_));
    }

    // The byte distance places back (1 is the byte put last). A distance
    // beyond the ring wraps around it.
    std::uint8_t back(std::int64_t distance) const {
        return ring_[static_cast<std::size_t>((position_ - distance) & mask_)];
    }

    // The byte at a place of the ring (taken modulo its size), for formats
    // whose matches name a place rather than a distance.
    std::uint8_t at(std::int64_t place) const { return ring_[static_cast<std::size_t>(place & mask_)]; }

    // Where the next byte goes.
    std::int32_t position() const { return position_; }
    // Moves the place of the next byte (for formats that start elsewhere
    // than at 0).
    void set_position(std::int32_t place) { position_ = place & mask_; }

    std::int32_t size() const { return mask_ + 1; }
    // Bytes put since construction.
    std::int64_t produced() const { return produced_; }

private:
    std::vector<std::uint8_t> ring_;
    std::int32_t mask_;
    std::int32_t position_ = 0;
    std::int64_t produced_ = 0;
};

}  // namespace coding
