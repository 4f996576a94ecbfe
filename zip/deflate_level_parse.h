// The parsers of the Deflate levels above the default (deflate_level.h).
// Each reads its whole input and feeds literals and matches (lengths 3 to
// 258, distances 1 to 32768) to the block writer; the caller finishes it.
#pragma once

#include <cstdint>

#include "deflate_block_enc.h"
#include "deflate_source.h"

// The longest block the BEST parse writes, in input bytes. Its writer
// buffers more entries than that (deflate_block_entries), so that every
// block ends where the parse chose.
constexpr std::int32_t BEST_BLOCK_BYTES = std::int32_t{1} << 19;

void deflate_parse_lazy(DeflateSource& input, DeflateBlockEnc& writer);
void deflate_parse_best(DeflateSource& input, DeflateBlockEnc& writer);
