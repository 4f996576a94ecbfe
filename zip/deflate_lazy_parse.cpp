#include "deflate_level_parse.h"

#include "lazy_match_finder.h"

void deflate_parse_lazy(DeflateSource& input, DeflateBlockEnc& writer) {
    coding::LazyMatchFinder& finder = coding::LazyMatchFinder::reused(coding::MIDDLE_LAZY_PARAMS);
    coding::BlockWriterSink<DeflateBlockEnc, 257> sink{writer};
    finder.run(
        [&input](std::uint8_t* destination, std::size_t room) {
            return static_cast<std::size_t>(input.fill(destination, static_cast<std::int32_t>(room)));
        },
        sink);
}
