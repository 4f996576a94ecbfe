// LH5Enc: compresses one source file into -lh5- data.
//
// The encoder reads the source once, folds every byte into a CRC-16 (the
// data CRC of the archive header) and counts it, finds matches greedily
// over hash chains (lh5_match_finder_reference.h describes the search) and
// hands the literals and matches to an LH5BlockEnc, which writes the blocks.
//
// Use, for every file:
//     std::vector<std::uint8_t> data;
//     LzhBitOutStream bits(data);
//     LH5BlockEnc blocks(bits);
//     LH5Enc encoder;
//     encoder.compress(source, blocks);
//     blocks.finish();   // the last block, before the flush
//     bits.flush();
// or lh5_compress below, which does just that. Then encoder.crc.value is
// the CRC-16 of the bytes read and encoder.bytes_read() their number; when
// that differs from the size the file had, or read_error() is set, the data
// does not hold the file the caller meant.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "crc_table.h"
#include "lh5_block_enc.h"

namespace lzh {

// Two forms of the match search that give the same data: FAST for use,
// REFERENCE the plain form that defines it.
enum class LH5MatchFinder { FAST, REFERENCE };

class LH5Enc {
public:
    explicit LH5Enc(LH5MatchFinder finder = LH5MatchFinder::FAST) : finder_(finder) {}

    // Encodes the whole source: source is open in binary mode, not owned,
    // read from its current position to its end (null reads as empty). The
    // CRC and the counts start afresh.
    void compress(std::FILE* source, LH5BlockEnc& output);

    std::int64_t bytes_read() const { return bytes_read_; }
    bool read_error() const { return read_error_; }

    // CRC-16 (polynomial 0xA001, initial 0) of every byte read; the register
    // is the CRC.
    coding::CrcTable16 crc;

private:
    LH5MatchFinder finder_;
    std::int64_t bytes_read_ = 0;
    bool read_error_ = false;
};

// What lh5_compress read.
struct LH5Result {
    std::int64_t bytes_read = 0;
    bool read_error = false;
    std::uint16_t crc = 0;
};

// Compresses the source and appends the -lh5- data to sink, blocks finished
// and the last byte flushed. An empty source appends nothing. With a drain
// the data passes through sink in pieces (bit_out_stream.h), and what is
// left in it at the end is the last piece.
LH5Result lh5_compress(std::FILE* source, std::vector<std::uint8_t>& sink, LH5MatchFinder finder = LH5MatchFinder::FAST,
                       coding::ByteDrain drain = {});

}  // namespace lzh
