// LH5MatchFinderReference: the -lh5- match search in its plain form.
//
// This is the definition of the encoder's output; the fast form
// (lh5_match_finder_fast.h) must produce the same literals and matches for
// every source, and the tests hold the two against each other.
//
// Greedy parsing: at each position the longest match wins at once, with no
// lazy evaluation; of equally long matches the nearest wins. Candidates come
// from hash chains keyed by the next two bytes; positions inside a match
// are neither searched from nor entered into the chains. The chain walk has
// no step limit, only the 8192-byte reach of a -lh5- distance.
//
// The source passes through a 16384-byte buffer. When the position reaches
// 16128 (0x3F00) the buffer slides down by 8192 and is topped up, so while
// the source lasts at least 256 bytes (the longest match) lie ahead of the
// position. Candidates lie at most 8192 bytes back and inside the buffer:
// right after a slide only 7936 bytes of history are left, so for the next
// 256 positions the reach is a little shorter than 8192. That belongs to
// the definition of the output too.
#pragma once

#include <cstdint>
#include <vector>

#include "lh5_block_enc.h"
#include "lh5_source_input.h"

namespace lzh {

class LH5MatchFinderReference {
public:
    static constexpr int BUFFER_SIZE = 16384;
    static constexpr int SLIDE_AT = 16128;  // buffer size - 256 bytes of look-ahead
    static constexpr int SLIDE = 8192;
    static constexpr int KEYS = 65536;  // two bytes

    LH5MatchFinderReference();

    // Encodes the whole input into output, literal by literal and match by
    // match.
    void run(LH5SourceInput& input, LH5BlockEnc& output);

private:
    struct Match {
        int length;
        int distance;
    };

    void fill(LH5SourceInput& input);
    Match find_longest_match(int p);
    void advance(LH5SourceInput& input);

    std::vector<std::uint8_t> buffer_;
    // chain[p]: the previous position with the key of p, or -1.
    std::vector<std::int32_t> chain_;
    // head[key]: the latest position with that key, or -1.
    std::vector<std::int32_t> head_;
    std::int32_t end_ = 0;       // valid bytes in the buffer
    std::int32_t position_ = 0;  // next byte to encode
};

}  // namespace lzh
