// How hard the Deflate encoder works for a smaller stream.
//   DEFAULT  greedy matching over full hash chains (what every archive got
//            before levels existed; its bytes never change)
//   LAZY     lazy matching over short chains, with blocks that end where
//            the data changes and fixed-code blocks where shorter: smaller
//            and faster
//   BEST     near-optimal parsing with a cost model over each block's own
//            Huffman codes: the smallest, several times slower
#pragma once

#include <cstdint>

#include "archive_options.h"

enum class DeflateLevel { DEFAULT, LAZY, BEST };

// The level the option bits ask for; the stronger one when both are set.
inline DeflateLevel deflate_level_of(std::uint32_t flags) {
    if ((flags & OPT_DEFLATE_BEST) != 0) return DeflateLevel::BEST;
    if ((flags & OPT_DEFLATE_LAZY) != 0) return DeflateLevel::LAZY;
    return DeflateLevel::DEFAULT;
}
