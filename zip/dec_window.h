// DecWindow: the copy loop of Deflate extraction. It turns the symbols of a
// DeflateDec into the bytes of one entry, keeps the history the matches
// copy from (32 KiB, 64 KiB for Deflate64) and decides when the entry is
// complete: when its uncompressed size is reached and the stream ends
// there.
//
// Most symbols take a fast path: while the input holds the bits of a whole
// symbol and the output has room for the longest match before the area's
// end and the entry's size, literals and matches go into the flat window
// without per-byte checks, and matches are copied a word at a time. Near
// those ends, in stored blocks and at block boundaries, the careful path
// takes one symbol at a time through symbol_get and distance_get. Both give
// the same bytes and the same errors.
#pragma once

#include <cstdint>

#include "coding_set.h"
#include "deflate_dec.h"
#include "output_window.h"

using ZipFileDecOutStream = coding::ZipCoding::FileDecOutStream;

class DecWindow {
public:
    // Decodes one entry into out. Returns when the entry has its size and
    // the stream's final block ends with it. Throws "It finished on the
    // way." when the stream ends before the size is reached or goes on
    // after it, and a text of its own for a match reaching back before the
    // entry's first byte. An entry of size 0 whose stream ends at once (a
    // final block with only its end code: 03 00) is an empty file.
    void decode_entry(DeflateDec& decoder, ZipFileDecOutStream& out);

private:
    using Window = DeflateDec::Window;

    // Puts one symbol's bytes through the careful path; true when the
    // entry is complete (the rest of a match is then dropped).
    static bool symbol_put(int symbol, DeflateDec& decoder, Window& window);
    // A match may reach back only as far as the bytes produced: anything
    // farther would be bytes that were never written in this entry.
    static void distance_check(int distance, const Window& window);
};
