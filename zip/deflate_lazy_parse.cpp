#include "deflate_level_parse.h"

#include "lazy_match_finder.h"

namespace {

// Bounded chains with lazy matching, the usual middle setting: deeper
// chains buy a fraction of a percent for much more time.
constexpr coding::LazyMatchParams LAZY_PARAMS = {
    .window = 32768,
    .longest = 258,
    .max_chain = 128,
    .nice_length = 128,
    .lazy_length = 32,
    .good_length = 8,
    .far_three = 4096,
};

struct DeflateSink {
    DeflateBlockEnc& writer;
    void literal(int byte) { writer.literal_put(byte); }
    void match(int length, int distance) { writer.match_len_put(257 + length, distance - 1); }
};

}  // namespace

void deflate_parse_lazy(DeflateSource& input, DeflateBlockEnc& writer) {
    coding::LazyMatchFinder finder(LAZY_PARAMS);
    DeflateSink sink{writer};
    finder.run(
        [&input](std::uint8_t* destination, std::size_t room) {
            return static_cast<std::size_t>(input.fill(destination, static_cast<std::int32_t>(room)));
        },
        sink);
}
