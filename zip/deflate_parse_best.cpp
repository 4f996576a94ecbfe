#include "deflate_parse.h"

void deflate_parse_best(DeflateSource& input, DeflateBlockEnc& writer) { deflate_parse_lazy(input, writer); }
