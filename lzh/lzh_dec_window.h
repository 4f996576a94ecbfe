// LzhDecWindow: where every LZH decoder puts its bytes. Each byte goes to
// the entry's FileDecOutStream and into the method's history ring, from
// which later matches copy.
//
// The LZH methods start from a ring that is not empty: LHarc and LHA fill
// it with spaces, LArc's -lz5- with a fixed pattern, and their encoders
// may match against those bytes at the start of a file. A match therefore
// reads the ring as it is, never "before the first byte". Bytes are copied
// one at a time, so a source that overlaps the bytes being written repeats
// them.
#pragma once

#include <cstdint>

#include "history_window.h"
#include "lzh_coding.h"

namespace lzh {

// The starting contents of most LZH rings.
constexpr std::uint8_t RING_FILL = ' ';

class LzhDecWindow {
public:
    LzhDecWindow(std::int32_t size, std::uint8_t fill) : history_(size, fill) {}

    // Puts one byte out and into the ring; true when the entry is done: it
    // has its original size, or a write failed (a full disk), after which
    // the rest could not be kept anyway.
    bool emit(FileDecOutStream& out, std::uint8_t byte) {
        const bool done = out.put(byte);
        history_.put(byte);
        return done || out.write_failed();
    }

    // A match of length bytes starting distance bytes back (1 is the last
    // byte); true when the entry is done, maybe in the middle of the match.
    bool copy_back(FileDecOutStream& out, std::int64_t distance, int length) {
        for (int k = 0; k < length; ++k) {
            if (emit(out, history_.back(distance))) return true;
        }
        return false;
    }

    // A match of length bytes starting at a place of the ring.
    bool copy_from(FileDecOutStream& out, std::int64_t place, int length) {
        for (int k = 0; k < length; ++k) {
            if (emit(out, history_.at(place + k))) return true;
        }
        return false;
    }

    coding::HistoryWindow& history() { return history_; }

private:
    coding::HistoryWindow history_;
};

}  // namespace lzh
