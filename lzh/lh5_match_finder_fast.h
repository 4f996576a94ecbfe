// LH5MatchFinderFast: the -lh5- match search of lh5_match_finder_reference.h,
// made fast, with the same literals and matches for every source.
//
// Why the output stays the same:
//   - The chains are keyed by a hash of the next three bytes instead of two.
//     A candidate that shares only two bytes gives a match of length 2,
//     which is never used and never beats a usable one, so dropping such
//     candidates changes nothing. The chains still hold every entered
//     position, nearest first, so the candidates of length 3 or more come
//     in the same order; hash collisions are weeded out by the comparison.
//   - A candidate can only win if it is longer than the best so far, so it
//     is first tested at the byte just past the best length, and the walk
//     stops once a match reaches the longest length possible there.
//   - Bytes are compared eight at a time.
//   - The buffer is larger and slides rarely. Matches are cut at the end of
//     the source and at 256 bytes, never at the end of a buffer: the buffer
//     is topped up whenever fewer than 256 bytes lie ahead and the source
//     goes on, as the reference does. Positions count from the start of the
//     buffer and are moved down with it; entries older than the 8192-byte
//     reach are dropped then, which the reach check would have done.
//   - The reach is the reference's: 8192 bytes, but never before the start
//     of the reference's own 16384-byte buffer, which after each of its
//     slides holds less history for a while (reference_history_start).
//   - The last two bytes of the source start no match and are not entered.
#pragma once

#include <cstdint>
#include <memory>

#include "lh5_block_enc.h"
#include "lh5_source_input.h"
#include "read_block.h"
#include "zeroed_table.h"

namespace lzh {

class LH5MatchFinderFast {
public:
    static constexpr int BUFFER_SIZE = 1 << 18;
    static constexpr int HASH_BITS = 16;
    // Chains are indexed by position modulo 16384, twice the reach: every
    // position a walk can visit has a slot of its own.
    static constexpr int CHAIN_SIZE = 16384;

    // A file that fits the buffer hashes into fewer buckets, never fewer
    // than 2^10 (coding::hash_bits_for). Collisions only add candidates that
    // share fewer than three bytes, which never win.
    static constexpr int FEWEST_HASH_BITS = 10;

    LH5MatchFinderFast();

    // The finder of this thread, made on first use and kept: its tables
    // (over half a megabyte) are then not allocated and emptied again for
    // every file of an archive.
    static LH5MatchFinderFast& reused();

    // Encodes the whole input into output.
    void run(LH5SourceInput& input, LH5BlockEnc& output);

private:
    void fill(LH5SourceInput& input);
    void slide();

    // BUFFER_SIZE bytes and 8 more, so that the eight-byte comparison may
    // read past the end of the data (it never counts those bytes; they are
    // zeros rather than an earlier file's).
    coding::ReadBlock buffer_;
    // By hash: the latest position, or -1. Only the 2^hash_bits_ buckets
    // of the current file are used, and emptied when it starts.
    coding::ZeroedTable<std::int32_t> head_;
    // By position modulo CHAIN_SIZE. Never emptied: a walk follows only
    // the slots of positions entered since the heads were emptied.
    coding::ZeroedTable<std::int32_t> chain_;
    int hash_bits_ = HASH_BITS;
    std::int32_t end_ = 0;       // valid bytes in the buffer
    std::int32_t position_ = 0;  // next byte to encode
    std::int64_t base_ = 0;      // source position of buffer byte 0
};

}  // namespace lzh
