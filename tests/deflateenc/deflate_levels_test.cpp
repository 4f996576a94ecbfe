// Proves that the Deflate levels above the default write streams that
// zlib inflates to their input, with the CRC-32 and count of the bytes
// read, over inputs that reach the corners of their parsers: nothing, one
// byte, runs longer than a match, repeats from the far end of the window,
// inputs that span several blocks of the near-optimal parse, and text
// around random bytes, where the lazy level ends its blocks early. On text
// each level must also do what it is for: the lazy level no worse than the
// default, the best level no worse than the lazy one.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>

#include "byte_corpus.h"
#include "deflate_level_parse.h"
#include "deflate_test_support.h"
#include "n_log2_n.h"

namespace {

using namespace corpus;

Encoded encode_with(DeflateEnc& encoder, const Bytes& input) {
    SourceFile source(input);
    Encoded result;
    coding::ZipCoding::BitOutStream bits(result.bytes);
    DeflateBlockEnc blocks(bits, encoder.block_entries());
    encoder.compress(source.get(), blocks);
    blocks.finish();
    bits.flush();
    result.crc32 = ~encoder.crc.value;
    result.bytes_read = encoder.bytes_read();
    result.blocks = blocks.blocks_written();
    return result;
}

Encoded encode_at(DeflateLevel level, const Bytes& input) {
    DeflateEnc encoder(level);
    return encode_with(encoder, input);
}

std::uint32_t crc32_of(const Bytes& bytes) {
    coding::CrcTable32 crc;
    crc.update(bytes.data(), bytes.size());
    return ~crc.value;
}

Bytes repeated(const Bytes& block, std::size_t size) {
    Bytes out;
    while (out.size() < size) out.push_back(block[out.size() % block.size()]);
    return out;
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

struct Input {
    const char* name;
    Bytes bytes;
    bool text;  // compressible text: the levels must not lose to weaker ones
};

const std::vector<Input>& inputs() {
    static const std::vector<Input> all = {
        {"empty", {}, false},
        {"one_byte", random_bytes(1, 1), false},
        {"run_3", Bytes(3, 'a'), false},
        {"run_4", Bytes(4, 'a'), false},
        {"run_1000", Bytes(1000, 'a'), false},
        {"random", random_bytes(70000, 2), false},
        {"skewed", skewed_bytes(90000, 6, 3), false},
        {"period_32768", repeated(random_bytes(32768, 4), 100000), false},
        {"period_32769", repeated(random_bytes(32769, 5), 100000), false},
        {"text", text_bytes(300000, 6), true},
        {"text_segment_edge", text_bytes(32766 * 2 + 1, 7), true},
        // Either side of the size up to which the lazy level searches a
        // whole file more lightly.
        {"text_16384", text_bytes(16384, 14), true},
        {"text_16385", text_bytes(16385, 14), true},
        {"pairs", pair_sequence(120000), false},
        {"text_random_text", joined({text_bytes(40000, 10), random_bytes(40000, 11), text_bytes(40000, 12)}), false},
        // Text, noise and a small alphabet in turn: blocks end where the
        // mix changes, and matches reach back across those ends.
        {"mixed",
         joined({text_bytes(70000, 10), random_bytes(40000, 11), skewed_bytes(50000, 4, 12), text_bytes(60000, 10)}),
         false},
        // Several parse segments and slides of the window, with repeats
        // that run across the segments' ends, and positions past the point
        // where the best level's finder moves them down.
        {"long", repeated(text_bytes(300000, 13), 1200000), false},
    };
    return all;
}

class DeflateLevels : public ::testing::TestWithParam<DeflateLevel> {};

TEST_P(DeflateLevels, ZlibInflatesEveryStream) {
    for (const Input& input : inputs()) {
        const Encoded encoded = encode_at(GetParam(), input.bytes);
        EXPECT_EQ(encoded.crc32, crc32_of(input.bytes)) << input.name;
        EXPECT_EQ(encoded.bytes_read, static_cast<std::int64_t>(input.bytes.size())) << input.name;
        ZlibOracle::instance().queue(std::string("level_") + input.name, encoded.bytes, input.bytes);
    }
}

// The finders reuse memory that earlier files filled; what lies past a
// file's end must not steer its chains, nor must how many files came
// before (each moves the best level's positions on by a window).
TEST_P(DeflateLevels, OutputDependsOnlyOnTheInput) {
    const Bytes input = text_bytes(1000, 8);
    const Encoded first = encode_at(GetParam(), input);
    encode_at(GetParam(), text_bytes(200000, 9));
    EXPECT_EQ(encode_at(GetParam(), input).bytes, first.bytes);
    for (int file = 0; file < 40; ++file) {
        encode_at(GetParam(), random_bytes(5, static_cast<std::uint64_t>(file)));
        EXPECT_EQ(encode_at(GetParam(), input).bytes, first.bytes) << file;
    }
}

// The creation driver keeps one encoder for all the files of a job, and the
// default level empties only as many hash heads as each file needs: files
// of every size, one after the other, each come out as from a new encoder.
TEST(DeflateLevelSizes, OneEncoderForManyFilesGivesEachFilesOwnStream) {
    const std::vector<Bytes> files = {text_bytes(200000, 20), text_bytes(700, 21), random_bytes(3, 22),
                                      text_bytes(5000, 23),   Bytes(70000, 'x'),   text_bytes(700, 21),
                                      {},                     text_bytes(40000, 24)};
    for (const DeflateLevel level : {DeflateLevel::DEFAULT, DeflateLevel::LAZY, DeflateLevel::BEST}) {
        DeflateEnc shared(level);
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(encode_with(shared, files[i]).bytes, encode_at(level, files[i]).bytes)
                << static_cast<int>(level) << " file " << i;
        }
    }
}

// Inputs that end just before, at and after the best level's boundaries:
// the shortest match, the longest, the window, and a parse segment with
// and without a longest match of bytes read ahead.
TEST(DeflateLevelSizes, BestStreamsOfEveryBoundaryLengthInflate) {
    constexpr std::size_t SEGMENT = BEST_BLOCK_BYTES;
    for (const std::size_t size :
         {std::size_t{2}, std::size_t{3}, std::size_t{258}, std::size_t{259}, std::size_t{32767}, std::size_t{32768},
          std::size_t{32769}, SEGMENT - 1, SEGMENT, SEGMENT + 1, SEGMENT + 258, SEGMENT + 259}) {
        const Bytes input = repeated(text_bytes(40000, 16), size);
        const Encoded encoded = encode_at(DeflateLevel::BEST, input);
        EXPECT_EQ(encoded.crc32, crc32_of(input)) << size;
        ZlibOracle::instance().queue("best_" + std::to_string(size), encoded.bytes, input);
    }
}

// A block ends where the data changes, not only where the parser's buffer
// does.
TEST(DeflateLevelSizes, BestEndsBlocksWhereTheDataChanges) {
    const Bytes input = joined({text_bytes(70000, 10), random_bytes(40000, 11), text_bytes(60000, 10)});
    EXPECT_GE(encode_at(DeflateLevel::BEST, input).blocks, 3);
}

INSTANTIATE_TEST_SUITE_P(Levels, DeflateLevels, ::testing::Values(DeflateLevel::LAZY, DeflateLevel::BEST),
                         [](const auto& info) { return info.param == DeflateLevel::LAZY ? "lazy" : "best"; });

TEST(DeflateLevelSizes, EachLevelIsNoWorseOnText) {
    for (const Input& input : inputs()) {
        if (!input.text) continue;
        const std::size_t greedy = encode_at(DeflateLevel::DEFAULT, input.bytes).bytes.size();
        const std::size_t lazy = encode_at(DeflateLevel::LAZY, input.bytes).bytes.size();
        const std::size_t best = encode_at(DeflateLevel::BEST, input.bytes).bytes.size();
        EXPECT_LE(lazy, greedy) << input.name;
        EXPECT_LE(best, lazy) << input.name;
    }
}

// A repeat from exactly the window's far end is found; one byte farther is
// out of reach, so that input stays close to its random size.
TEST(DeflateLevelSizes, TheWholeWindowIsUsed) {
    for (const DeflateLevel level : {DeflateLevel::LAZY, DeflateLevel::BEST}) {
        const std::size_t near = encode_at(level, repeated(random_bytes(32768, 4), 100000)).bytes.size();
        const std::size_t far = encode_at(level, repeated(random_bytes(32769, 5), 100000)).bytes.size();
        EXPECT_LT(near, 40000u);
        EXPECT_GT(far, 90000u);
    }
}

// A few bytes cost less with the fixed code than with a dynamic code and
// its description; the lazy level takes it there, and the default level
// keeps writing dynamic blocks.
TEST(DeflateLevelSizes, SmallInputsGetFixedBlocksAtTheLazyLevel) {
    const std::string text = "a short text, a short text, a shorter text";
    const Bytes input(text.begin(), text.end());
    const struct {
        DeflateLevel level;
        int block_type;
    } cases[] = {{DeflateLevel::DEFAULT, 2}, {DeflateLevel::LAZY, 1}};
    for (const auto& c : cases) {
        const Encoded encoded = encode_at(c.level, input);
        ASSERT_FALSE(encoded.bytes.empty());
        // The first block's header: BFINAL in bit 0, BTYPE in bits 1 and 2.
        EXPECT_EQ(encoded.bytes[0] & 1, 1);
        EXPECT_EQ((encoded.bytes[0] >> 1) & 3, c.block_type);
        ZlibOracle::instance().queue(std::string("small_input_type_") + std::to_string(c.block_type), encoded.bytes,
                                     input);
    }
}

// The best level's n log2 n, computed without the math library, against the
// library's log2: within a few units in the last place for every count a
// table entry is made of and for large block totals, exact at powers of two.
TEST(DeflateLevelSizes, NLog2NMatchesTheMathLibrary) {
    EXPECT_EQ(deflate_enc::n_log2_n(0), 0.0);
    EXPECT_EQ(deflate_enc::n_log2_n(1), 0.0);
    for (int e = 1; e < 32; ++e) {
        const std::uint32_t n = std::uint32_t{1} << e;
        EXPECT_EQ(deflate_enc::n_log2_n(n), static_cast<double>(n) * e) << n;
    }
    double worst = 0;
    std::uint32_t worst_n = 0;
    const auto check = [&](std::uint32_t n) {
        const double want = static_cast<double>(n) * std::log2(static_cast<double>(n));
        const double error = std::fabs(deflate_enc::n_log2_n(n) - want) / want;
        if (error > worst) {
            worst = error;
            worst_n = n;
        }
    };
    for (std::uint32_t n = 2; n <= (1u << 17); ++n) check(n);
    for (std::uint64_t n = (1u << 17); n <= 0x7FFFFFFFu; n = n * 1009 / 1000 + 1) check(static_cast<std::uint32_t>(n));
    check(0x7FFFFFFFu);
    EXPECT_LT(worst, 1e-15) << "at " << worst_n;
}

}  // namespace
