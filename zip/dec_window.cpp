#include "dec_window.h"

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
    // The source may overlap the bytes being written (distance < length):
    // each byte is read after the one before it was stored.
    for (int i = 0; i < length; ++i) {
        if (byte_put(window_.back(distance), out)) return true;
    }
    return false;
}
