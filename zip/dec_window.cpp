#include "dec_window.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* FINISHED_EARLY = "It finished on the way.";

}  // namespace

void DecWindow::decode_entry(DeflateDec& decoder, ZipFileDecOutStream& out) {
    bool complete = false;
    if (out.expected_size <= 0) {
        const int first = decoder.symbol_get();
        if (first == -1) return;
        // Data where the header promised none: it is judged like any other
        // entry that reaches its size (and fails below if more follows).
        complete = symbol_put(first, decoder, out);
    }
    while (!complete) {
        const int symbol = decoder.symbol_get();
        if (symbol == -1) throw FINISHED_EARLY;
        complete = symbol_put(symbol, decoder, out);
    }
    // The entry has its size; the stream must end exactly here, which
    // consumes the end code of the final block.
    if (decoder.symbol_get() != -1) throw FINISHED_EARLY;
}

bool DecWindow::byte_put(std::uint8_t byte, ZipFileDecOutStream& out) {
    if (out.put(byte)) return true;
    window_.put(byte);
    return false;
}

bool DecWindow::symbol_put(int symbol, DeflateDec& decoder, ZipFileDecOutStream& out) {
    if (symbol < DeflateDec::END_OF_BLOCK) return byte_put(static_cast<std::uint8_t>(symbol), out);
    const int length = symbol - DeflateDec::MATCH_BASE;
    const int distance = decoder.distance_get() + 1;
    if (distance < 1 || distance > window_.produced()) throw "decode_entry: a match reaches back before the entry's first byte.(illegal data.)";
    // The match goes out as one run, cut at the entry's size. A source that
    // overlaps the bytes being written (distance < length) repeats its
    // first distance bytes, so the run grows by copying what it holds.
    const std::int64_t left = out.expected_size - out.count;
    const auto size = static_cast<std::size_t>(left <= 0 ? 1 : std::min<std::int64_t>(left, length));
    run_.resize(size);
    const std::size_t taken = std::min(size, static_cast<std::size_t>(distance));
    for (std::size_t i = 0; i < taken; ++i) run_[i] = window_.back(distance - static_cast<std::int64_t>(i));
    for (std::size_t filled = taken; filled < size; filled += std::min(filled, size - filled)) {
        std::memcpy(run_.data() + filled, run_.data(), std::min(filled, size - filled));
    }
    window_.put(run_.data(), size);
    return out.put(run_.data(), size);
}
