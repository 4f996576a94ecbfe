#include "deflate_level_parse.h"

#include "lazy_match_finder.h"

namespace {

// The middle setting with a quarter of its chain: blocks that end where
// the data changes, and fixed-code blocks for small files, win back more
// than the longer search would, in a third less time. A small file is
// searched more lightly still, at a fraction of a percent of its size.
constexpr coding::LazyMatchParams DEFLATE_LAZY_PARAMS = [] {
    coding::LazyMatchParams params = coding::MIDDLE_LAZY_PARAMS;
    params.search.max_chain = 32;
    params.small_input = 16384;
    params.small_search = {.max_chain = 8, .nice_length = 32, .lazy_length = 8};
    return params;
}();

}  // namespace

void deflate_parse_lazy(DeflateSource& input, DeflateBlockEnc& writer) {
    writer.end_blocks_where_data_changes();
    writer.allow_fixed_blocks();
    coding::LazyMatchFinder& finder = coding::LazyMatchFinder::reused(DEFLATE_LAZY_PARAMS);
    coding::BlockWriterSink<DeflateBlockEnc, 257> sink{writer};
    finder.run(
        [&input](std::uint8_t* destination, std::size_t room) {
            return static_cast<std::size_t>(input.fill(destination, static_cast<std::int32_t>(room)));
        },
        sink);
}
