// DeflateEnc: compresses one source file into Deflate literals and matches
// and hands them to a DeflateBlockEnc, computing the file's CRC-32 on the
// way.
//
// The match finder is greedy LZ77 over a 65536-byte buffer, with hash
// chains keyed on the next two bytes (the key is the two bytes themselves,
// so every candidate shares them):
//   - At each position the whole chain of earlier positions with the same
//     key within the 32768-byte window is searched for the longest match of
//     at most 256 bytes; among equally long matches the nearest wins. A match
//     of 3 bytes or more is taken at once (no lazy evaluation), otherwise
//     the byte is a literal.
//   - Only positions where a search starts are entered into the chains; the
//     bytes covered by a match are not, which keeps long runs cheap.
//   - When the position reaches 65280 (256 bytes before the buffer's end,
//     room for one longest match), the upper 32768 bytes slide down, every
//     chain and head entry moves with them (entries that fall out of the
//     buffer become -1) and the buffer is filled up again.
// The compressed bytes are fully determined by these rules and the file's
// contents.
//
// Two forms give byte-identical results: DeflateEnc (this file), the one
// the creation driver uses, and DeflateEncReference
// (deflate_enc_reference.h), which follows the rules above step by step and
// is the yardstick of the tests. DeflateEnc gets to the same matches with
// less work:
//   - A match worth taking is at least 3 bytes long, and the candidates of a
//     two-byte chain that share 3 (or 4) bytes with the position are the
//     positions of a chain keyed on those 3 (or 4) bytes, entered under the
//     same rule and in the same order. So DeflateEnc keeps two chains, on
//     hashes of the next 4 and the next 3 bytes, and no two-byte chain. It
//     walks the 4-byte chain for the longest match; when no candidate
//     shares 4 bytes, the answer is the nearest candidate that shares 3 (a
//     longer one would share 4), the first of the 3-byte chain that does.
//     Hash collisions only add candidates, which are measured like the rest
//     and lose.
//   - Candidates are rejected by one byte compare before their match is
//     measured, matches are measured eight bytes at a time, and a walk ends
//     once no longer match is possible.
//   - A match advances the position in one step.
//
// Usage, for one source file (the creation driver):
//     std::vector<std::uint8_t> data;
//     data.reserve(size);
//     {
//         coding::ZipCoding::BitOutStream bits(data);
//         DeflateBlockEnc blocks(bits, DeflateBlockEnc::BUFFER_ENTRIES);
//         DeflateEnc encoder;
//         encoder.compress(source, blocks);
//         blocks.finish();
//         bits.flush();
//         crc32 = ~encoder.crc.value;  // and check bytes_read(), read_failed()
//     }
#pragma once

#include <cstdint>
#include <cstdio>

#include "coding_set.h"
#include "deflate_block_enc.h"
#include "deflate_level.h"
#include "deflate_source.h"
#include "read_block.h"
#include "zeroed_table.h"

class DeflateEnc {
public:
    static constexpr std::int64_t NO_LIMIT = DeflateSource::NO_LIMIT;

    explicit DeflateEnc(DeflateLevel level = DeflateLevel::DEFAULT);

    // The level of the next compress. Above DEFAULT the parse is another
    // one (deflate_level_parse.h); the rules above describe DEFAULT.
    void set_level(DeflateLevel level) { level_ = level; }
    DeflateLevel level() const { return level_; }
    // The entries the block writer of this level buffers: BEST ends its
    // blocks itself and makes them longer than the default buffer allows.
    std::int32_t block_entries() const;

    DeflateEnc(const DeflateEnc&) = delete;
    DeflateEnc& operator=(const DeflateEnc&) = delete;

    // Reads the source to its end (or up to byte_limit bytes) and feeds its
    // literals and matches to writer; the caller then calls writer.finish().
    // source: opened in binary mode, not owned, read from its current
    // position; null reads as an empty file. Afterwards the complement of
    // crc.value is the CRC-32 of the bytes read.
    void compress(std::FILE* source, DeflateBlockEnc& writer, std::int64_t byte_limit = NO_LIMIT);

    // The register every byte read is folded into (initial 0xFFFFFFFF).
    coding::CrcTable32 crc;

    // What the last compress read: the bytes read (the data that was
    // compressed and that the CRC covers), whether the source reported a
    // read error (the data then ends early), and whether it held more than
    // byte_limit bytes (the data then ends at the limit).
    std::int64_t bytes_read() const { return bytes_read_; }
    bool read_failed() const { return read_failed_; }
    bool over_limit() const { return over_limit_; }

private:
    struct Match {
        int length;    // 0, or 3 to 256
        int distance;  // 1 to 32768 when length is not 0
    };
    Match find_match(int p);
    void slide(DeflateSource& input);

    DeflateLevel level_;
    // 65536 bytes and a tail for wide loads. Only the bytes a file filled
    // in and the tail after them are ever read.
    coding::ReadBlock buffer_;
    // A megabyte, of which a small file reaches a few pages; the tables
    // start zeroed without being written (coding/zeroed_table.h). Their
    // first contents do not matter: each file empties the heads it uses,
    // and a chain is followed only from positions entered since.
    coding::ZeroedTable<std::int32_t> chain4_;  // by position: previous one with the same 4-byte hash, or -1
    coding::ZeroedTable<std::int32_t> head4_;   // by 4-byte hash: latest position, or -1
    coding::ZeroedTable<std::int32_t> chain3_;  // the same for 3-byte hashes
    coding::ZeroedTable<std::int32_t> head3_;
    int hash_bits_ = 0;          // buckets in use in head4_ and head3_, chosen per file
    std::int32_t end_ = 0;       // valid bytes in buffer_
    std::int32_t position_ = 0;  // next byte to encode
    std::int64_t bytes_read_ = 0;
    bool read_failed_ = false;
    bool over_limit_ = false;
};
