// The parsers of the Deflate levels above the default (deflate_level.h).
// Each reads its whole input and feeds literals and matches (lengths 3 to
// 258, distances 1 to 32768) to the block writer; the caller finishes it.
#pragma once

#include "deflate_block_enc.h"
#include "deflate_source.h"

void deflate_parse_lazy(DeflateSource& input, DeflateBlockEnc& writer);
void deflate_parse_best(DeflateSource& input, DeflateBlockEnc& writer);
