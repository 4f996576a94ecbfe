// DecWindow: the copy loop of Deflate extraction. It turns the symbols of a
// DeflateDec into the bytes of one entry, keeps the last 65536 of them in a
// ring for the matches to copy from, and decides when the entry is
// complete: when its uncompressed size is reached and the stream ends
// there.
#pragma once

#include <cstdint>
#include <vector>

#include "coding_set.h"
#include "deflate_dec.h"
#include "history_window.h"

using ZipFileDecOutStream = coding::ZipCoding::FileDecOutStream;

class DecWindow {
public:
    // A power of two, at least twice the farthest distance (32768).
    static constexpr std::int32_t WINDOW_SIZE = 65536;

    // Decodes one entry into out. Returns when the entry has its size and
    // the stream's final block ends with it. Throws "It finished on the
    // way." when the stream ends before the size is reached or goes on
    // after it, and a text of its own for a match reaching back before the
    // entry's first byte. An entry of size 0 whose stream ends at once (a
    // final block with only its end code: 03 00) is an empty file.
    void decode_entry(DeflateDec& decoder, ZipFileDecOutStream& out);

private:
    // Hands one symbol's bytes to out; true when out reports the entry
    // complete (the rest of a match is then dropped).
    bool symbol_put(int symbol, DeflateDec& decoder, ZipFileDecOutStream& out);
    bool byte_put(std::uint8_t byte, ZipFileDecOutStream& out);

    // A match may reach back only as far as the window's produced count:
    // the window is new per entry, so anything farther would be bytes that
    // were never written.
    coding::HistoryWindow window_{WINDOW_SIZE, 0};
    std::vector<std::uint8_t> run_;  // the bytes of the match being written
};
