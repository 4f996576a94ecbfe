// DeflateEncReference: the Deflate match finder in its plainest form.
//
// It carries out the rules described in deflate_enc.h one step at a time:
// every candidate of the chain is measured byte by byte, and every byte the
// encoder passes, literal or inside a match, is a separate step that may
// slide the buffer. It is slow and kept as the yardstick for DeflateEnc,
// which must produce the same bytes; the tests and the benchmark compare
// the two. The interface is that of DeflateEnc.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "coding_set.h"
#include "deflate_block_enc.h"
#include "deflate_source.h"

class DeflateEncReference {
public:
    static constexpr std::int64_t NO_LIMIT = DeflateSource::NO_LIMIT;

    DeflateEncReference();

    DeflateEncReference(const DeflateEncReference&) = delete;
    DeflateEncReference& operator=(const DeflateEncReference&) = delete;

    void compress(std::FILE* source, DeflateBlockEnc& writer, std::int64_t byte_limit = NO_LIMIT);

    coding::CrcTable32 crc;

    std::int64_t bytes_read() const { return bytes_read_; }
    bool read_failed() const { return read_failed_; }
    bool over_limit() const { return over_limit_; }

private:
    void longest_match(std::int32_t p, std::int32_t& length, std::int32_t& distance);
    void advance(DeflateSource& input);

    std::vector<std::uint8_t> buffer_;
    std::vector<std::int32_t> chain_;
    std::vector<std::int32_t> head_;
    std::int32_t end_ = 0;
    std::int32_t position_ = 0;
    std::int64_t bytes_read_ = 0;
    bool read_failed_ = false;
    bool over_limit_ = false;
};
