// -lh6- and -lh7- compression: the block format of -lh5- (lh5_block_enc.h)
// with a larger dictionary, parsed with lazy matching over bounded hash
// chains (coding/lazy_match_finder.h).
#pragma once

#include <cstdio>
#include <vector>

#include "lh5_enc.h"

namespace lzh {

// Compresses the source into -lh6- (dictionary_bits 15) or -lh7- (16) data
// appended to sink, with the CRC-16 and the count of the bytes read, as
// lh5_compress does for -lh5- (with a drain, the data goes out in pieces).
LH5Result lh7_compress(std::FILE* source, std::vector<std::uint8_t>& sink, int dictionary_bits,
                       coding::ByteDrain drain = {});

}  // namespace lzh
