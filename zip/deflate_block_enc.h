// DeflateBlockEnc: collects the literals and matches of the Deflate encoder
// and writes them as dynamic Huffman blocks (RFC 1951, BTYPE 2).
//
// Every block gets its own literal/length and distance codes, built from
// the block's symbol counts with lengths of at most 15 bits, and a
// code-length code of at most 7 bits that describes them. Stored blocks are
// never written, and fixed-Huffman blocks only where allowed (see
// allow_fixed_blocks). A block is written as soon as more than
// limit entries (literals count one entry, matches two) are buffered, and
// finish writes the final block with what is left; that block may hold only
// the end-of-block code.
//
// A code with a single used symbol gets the one-bit code 0, as Deflate
// requires: a block without matches still describes one distance code of
// length 1, and a block of only the end-of-block code gives that code one
// bit.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "coding_set.h"

class DeflateBlockEnc {
public:
    using BitOutStream = coding::ZipCoding::BitOutStream;

    // The entry buffer the encoder uses: 32768 entries, so a non-final block
    // holds 32767 or 32768 of them.
    static constexpr std::int32_t BUFFER_ENTRIES = 32768;

    // output: the bit stream of the entry, not owned; the caller flushes it
    // after finish. buffer_entries (at least 3; tests use small buffers to
    // reach block boundaries cheaply): a block is written when more than
    // buffer_entries - 2 entries are buffered. Otherwise "DeflateBlockEnc:
    // out of range." is thrown.
    DeflateBlockEnc(BitOutStream& output, std::int32_t buffer_entries);

    DeflateBlockEnc(const DeflateBlockEnc&) = delete;
    DeflateBlockEnc& operator=(const DeflateBlockEnc&) = delete;

    // One literal byte (0 to 255, otherwise "literal_put: out of range.").
    void literal_put(int byte) {
        if (finished_) throw "DeflateBlockEnc: program error.";
        if (byte < 0 || byte > 255) throw "literal_put: out of range.";
        entries_.push_back(static_cast<std::uint16_t>(byte));
        ++literal_counts_[static_cast<std::size_t>(byte)];
        if (split_) observe(((byte >> 5) & 6) | (byte & 1), 1);
        if (static_cast<std::int32_t>(entries_.size()) > limit_) write_block(0);
    }
    // One match: symbol = 257 + length (260 to 516), and distance minus 1
    // (0 to 32767); otherwise "match_len_put: out of range.". Deflate cannot
    // express lengths above 258: a block holding one throws "out of range."
    // when it is written.
    void match_len_put(int symbol, int distance_minus_1) {
        if (finished_) throw "DeflateBlockEnc: program error.";
        if (symbol < 260 || symbol > 516 || distance_minus_1 < 0 || distance_minus_1 > 32767) {
            throw "match_len_put: out of range.";
        }
        entries_.push_back(static_cast<std::uint16_t>(symbol));
        entries_.push_back(static_cast<std::uint16_t>(distance_minus_1));
        if (symbol == 516) {
            too_long_ = true;
        } else {
            ++literal_counts_[static_cast<std::size_t>(length_code(symbol - 257))];
            ++distance_counts_[static_cast<std::size_t>(distance_code_of(distance_minus_1))];
        }
        if (split_) observe(symbol - 257 < 9 ? LITERAL_KINDS : LITERAL_KINDS + 1, symbol - 257);
        if (static_cast<std::int32_t>(entries_.size()) > limit_) write_block(0);
    }
    // Writes the final block from the entries left, also when there are
    // none, so that every stream ends with a final block. Afterwards every
    // call throws "DeflateBlockEnc: program error.": data after the final
    // block would be lost, a second final block would corrupt the stream.
    void finish();

    // Writes the buffered entries as a non-final block now (nothing when
    // none are buffered): a parser that chose its matches for one block's
    // codes ends the block where its choice ends.
    void end_block();
    // From now on a block goes out with the fixed Huffman code instead
    // when that is shorter (small blocks, where the dynamic code's own
    // description costs more than it saves). Off unless asked for: the
    // default stream is all dynamic blocks.
    void allow_fixed_blocks() { fixed_allowed_ = true; }

    // From now on a block also ends where the mix of literals and matches
    // changes (text after binary data, a table after prose): each part then
    // gets codes fitted to it. Off unless asked for, like fixed blocks.
    void end_blocks_where_data_changes() { split_ = true; }

    // Blocks written so far (the final one included once finish has run).
    std::int32_t blocks_written() const { return blocks_; }

private:
    // The literal/length code of a match length (3 to 258) and the code of
    // a distance less 1 (0 to 32767). Past the first codes, which hold one
    // value each, every four length codes and every two distance codes
    // cover a range twice as wide as the four or two before; 258 has a
    // code of its own.
    static constexpr int length_code(int length) {
        const int x = length - 3;
        if (x < 8) return 257 + x;
        if (x == 255) return 285;
        const int top = std::bit_width(static_cast<unsigned>(x)) - 1;
        return 257 + 4 * (top - 1) + ((x >> (top - 2)) & 3);
    }
    static constexpr int distance_code_of(int distance_minus_1) {
        if (distance_minus_1 < 4) return distance_minus_1;
        const int top = std::bit_width(static_cast<unsigned>(distance_minus_1)) - 1;
        return 2 * top + ((distance_minus_1 >> (top - 1)) & 1);
    }

    // Kinds of entries whose counts describe a stretch of data: literals by
    // their top two bits (control bytes, digits and punctuation, letters and
    // high bytes fall apart) and their lowest, and matches shorter than 9
    // bytes and longer ones.
    static constexpr int LITERAL_KINDS = 8;
    static constexpr int KINDS = LITERAL_KINDS + 2;

    void observe(int kind, int bytes) {
        ++fresh_[static_cast<std::size_t>(kind)];
        block_bytes_ += bytes;
        if (++fresh_total_ == SPLIT_CHECK_ENTRIES) check_for_block_end();
    }
    static constexpr std::int32_t SPLIT_CHECK_ENTRIES = 512;
    void check_for_block_end();
    // Empties the buffer, its symbol counts and its statistics.
    void clear_block();
    void write_block(int final_flag);
    template <class Writer, class Code, class DistanceCode>
    void write_data(Writer& out, const class LengthCodeTable& length_table,
                    const class DistanceCodeTable& distance_table, const Code& literal_code,
                    const DistanceCode& distance_code);

    BitOutStream& output_;
    std::int32_t limit_;
    std::vector<std::uint16_t> entries_;
    // Symbol counts of the buffered entries, kept as they come in; a match
    // of length 259 sets too_long_ instead.
    std::array<std::int32_t, 286> literal_counts_{};
    std::array<std::int32_t, 30> distance_counts_{};
    bool too_long_ = false;
    std::int32_t blocks_ = 0;
    bool finished_ = false;
    bool fixed_allowed_ = false;
    bool split_ = false;
    // The counts by kind of the block so far, and of the entries since the
    // last check; the input bytes the block covers.
    std::array<std::int32_t, KINDS> seen_{};
    std::array<std::int32_t, KINDS> fresh_{};
    std::int32_t seen_total_ = 0;
    std::int32_t fresh_total_ = 0;
    std::int32_t block_bytes_ = 0;
};
