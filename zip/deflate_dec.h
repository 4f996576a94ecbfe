// DeflateDec: reads a Deflate stream (RFC 1951) block by block and hands
// out its symbols one at a time: literal bytes, and matches as a length
// followed by a distance. DecWindow (dec_window.h) turns them into bytes.
//
// The decoder reads from the archive's own bit stream and consumes exactly
// the compressed data of one entry, so the next local header starts at the
// byte boundary after the final block; nothing computes byte positions.
//
// Every fault of the data is a thrown text; the input ending anywhere
// inside a block is "It finished on the way.", so a truncated stream always
// ends the entry with an error and never loops.
//
// The same decoder reads Deflate64 (ZIP method 9) when given that variant:
// only the length and distance tables differ (deflate_tables.h); its
// matches reach back up to 65536 bytes and run up to 65538 long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "coding_set.h"
#include "deflate_tables.h"
#include "output_window.h"

using ZipBitInStream = coding::ZipCoding::BitInStream;
using ZipHuffDec = coding::ZipCoding::HuffDec;

class DeflateDec {
public:
    // Literal/length symbols: 0 to 255 literal bytes, 256 end of block, 257
    // to 285 length codes; 286 and 287 exist in the fixed code but are
    // never valid data.
    static constexpr int END_OF_BLOCK = 256;
    static constexpr int LITERAL_CODES = 288;
    // Codes a dynamic block may declare: 286 literal/length codes; 30
    // distance codes (32 in Deflate64, where 30 and 31 are used).
    static constexpr int DECLARED_LITERAL_CODES = 286;
    static constexpr int DISTANCE_CODES = 32;  // 30 and 31 are valid data only in Deflate64
    // What symbol_get returns for a match: MATCH_BASE + length.
    static constexpr int MATCH_BASE = 257;

    // Reads the header of the first block at once, so that a bad first
    // block fails here.
    explicit DeflateDec(ZipBitInStream& input, DeflateVariant variant = DeflateVariant::DEFLATE);

    // 0 to 255 for a literal byte, MATCH_BASE + length (3 to 258, in
    // Deflate64 to 65538) for a
    // match, whose distance distance_get then reads; -1 once the final block
    // has ended. End-of-block codes never come out: the next block's header
    // is read in their place.
    int symbol_get();

    // The distance of the match just returned, minus 1 (0 to 32767, in
    // Deflate64 to 65535); -1 when the stream is over.
    int distance_get();

    // ---- for the fast loop of DecWindow --------------------------------
    // The longest match and the farthest distance of the variant.
    int longest_match() const { return length_table_.max_length(); }
    int farthest_distance() const { return distance_table_.max_distance(); }

    // Whether the current block is a stored one with bytes left.
    bool stored_pending() const { return type_ == 0 && final_ != -1 && stored_left_ > 0; }
    // Up to size bytes of the current stored block (as many symbol_get
    // calls would return). cut: set when the input ended before them.
    std::size_t stored_get(std::uint8_t* destination, std::size_t size, bool& cut);

    // The output window of one entry, as DecWindow keeps it.
    using Window = coding::OutputWindow<coding::ZipCoding::FileDecOutStream>;
    // Decodes literals and matches of the current Huffman-coded block
    // straight into the window for as long as its fast path may run and
    // the input holds a whole symbol. A symbol it does not settle (the end
    // of a block, a code outside the tables, a match reaching back before
    // the entry's first byte) is left unread: symbol_get and distance_get
    // then decode it again from the same bits and give the usual results
    // and errors.
    void fast_run(Window& window);

private:
    void block_header_get();
    void fixed_tables_make();
    void dynamic_tables_get();
    void stored_header_get();
    // One end of block: -1 after the final block, otherwise the next block
    // is set up.
    bool block_end();
    int bits_get(int n);

    const LengthCodeTable& length_table_;
    const DistanceCodeTable& distance_table_;
    ZipBitInStream& input_;
    // Rebuilt for every Huffman block; empty for stored blocks. A dynamic
    // block that uses no distance codes at all (RFC 1951 allows a single
    // distance length of 0 for such a block) has no distance decoder.
    // The fixed code's decoders are shared (FixedDeflateCode); a dynamic
    // block's are built into the two optionals.
    std::optional<ZipHuffDec> literal_dynamic_;
    std::optional<ZipHuffDec> distance_dynamic_;
    const ZipHuffDec* literal_decoder_ = nullptr;
    const ZipHuffDec* distance_decoder_ = nullptr;
    std::int32_t stored_left_ = -1;
    int final_ = 0;  // BFINAL of the current block; -1 once the stream is over
    int type_ = 0;   // BTYPE: 0 stored, 1 fixed, 2 dynamic
};
