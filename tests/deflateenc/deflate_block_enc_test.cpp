// Proves the block writer on its own, fed directly: every length code and
// distance code boundary comes out as the match that went in (lengths 3 to
// 258, distances 1 to 32768), its range checks throw the documented texts,
// and blocks are cut where more than buffer size - 2 entries are buffered.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "byte_corpus.h"
#include "deflate_test_support.h"

namespace {

using BitOutStream = coding::ZipCoding::BitOutStream;

// Feeds tokens to a block writer and returns the finished stream; split
// asks for blocks that end where the data changes.
Bytes write_tokens(const std::vector<ParsedToken>& tokens,
                   std::int32_t buffer_entries = DeflateBlockEnc::BUFFER_ENTRIES, std::int32_t* blocks = nullptr,
                   bool split = false) {
    Bytes out;
    BitOutStream bits(out);
    DeflateBlockEnc writer(bits, buffer_entries);
    if (split) writer.end_blocks_where_data_changes();
    for (const ParsedToken& t : tokens) {
        if (t.length == 0) {
            writer.literal_put(t.literal);
        } else {
            writer.match_len_put(257 + t.length, t.distance - 1);
        }
    }
    writer.finish();
    bits.flush();
    if (blocks != nullptr) *blocks = writer.blocks_written();
    return out;
}

// The bytes the tokens stand for.
Bytes expand(const std::vector<ParsedToken>& tokens) {
    Bytes out;
    for (const ParsedToken& t : tokens) {
        if (t.length == 0) {
            out.push_back(static_cast<std::uint8_t>(t.literal));
        } else {
            for (int i = 0; i < t.length; ++i) out.push_back(out[out.size() - static_cast<std::size_t>(t.distance)]);
        }
    }
    return out;
}

TEST(DeflateBlockEnc, EveryLengthAndDistanceCodeRoundTrips) {
    // 32768 random literals make every distance reachable. Then every
    // length from 3 to 258 once, and the first and last distance of every
    // distance code (1, 2, 3, 4, 5, 6, 7, 8, ..., 24577, 32768).
    std::vector<ParsedToken> tokens;
    for (std::uint8_t b : corpus::random_bytes(32768, 7)) tokens.push_back(literal_token(b));
    for (int length = 3; length <= 258; ++length) tokens.push_back(match_token(length, 1 + length % 5));
    int base = 1;
    for (int code = 0; code < 30; ++code) {
        const int extra = code < 4 ? 0 : code / 2 - 1;
        tokens.push_back(match_token(3, base));
        tokens.push_back(match_token(258, base + (1 << extra) - 1));
        base += 1 << extra;
    }
    ASSERT_EQ(base, 32769);

    const Bytes stream = write_tokens(tokens);
    const ParsedStream parsed = parse_deflate(stream);
    EXPECT_TRUE(parsed.tokens() == tokens);
    const Bytes input = expand(tokens);
    EXPECT_TRUE(parsed.output == input);
    ZlibOracle::instance().queue("every_code", stream, input);
}

TEST(DeflateBlockEnc, RangeChecksThrowTheirTexts) {
    struct Case {
        const char* name;
        std::function<void(DeflateBlockEnc&)> call;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"literal -1", [](DeflateBlockEnc& w) { w.literal_put(-1); }, "literal_put: out of range."},
        {"literal 256", [](DeflateBlockEnc& w) { w.literal_put(256); }, "literal_put: out of range."},
        {"length 2", [](DeflateBlockEnc& w) { w.match_len_put(259, 0); }, "match_len_put: out of range."},
        {"length 260", [](DeflateBlockEnc& w) { w.match_len_put(517, 0); }, "match_len_put: out of range."},
        {"distance 0", [](DeflateBlockEnc& w) { w.match_len_put(260, -1); }, "match_len_put: out of range."},
        {"distance 32769", [](DeflateBlockEnc& w) { w.match_len_put(260, 32768); }, "match_len_put: out of range."},
        // 259 is accepted as an entry but has no length code.
        {"length 259",
         [](DeflateBlockEnc& w) {
             w.match_len_put(516, 0);
             w.finish();
         },
         "out of range."},
        // Nothing goes after the final block.
        {"literal after finish",
         [](DeflateBlockEnc& w) {
             w.finish();
             w.literal_put(0);
         },
         "DeflateBlockEnc: program error."},
        {"match after finish",
         [](DeflateBlockEnc& w) {
             w.finish();
             w.match_len_put(260, 0);
         },
         "DeflateBlockEnc: program error."},
        {"finish twice",
         [](DeflateBlockEnc& w) {
             w.finish();
             w.finish();
         },
         "DeflateBlockEnc: program error."},
    };
    for (const Case& c : cases) {
        Bytes out;
        BitOutStream bits(out);
        DeflateBlockEnc writer(bits, DeflateBlockEnc::BUFFER_ENTRIES);
        try {
            c.call(writer);
            ADD_FAILURE() << c.name << ": nothing thrown";
        } catch (const char* text) {
            EXPECT_STREQ(text, c.text) << c.name;
        }
    }
    for (std::int32_t size : {-1, 0, 2}) {
        Bytes out;
        BitOutStream bits(out);
        try {
            DeflateBlockEnc writer(bits, size);
            ADD_FAILURE() << "buffer of " << size << " accepted";
        } catch (const char* text) {
            EXPECT_STREQ(text, "DeflateBlockEnc: out of range.");
        }
    }
}

TEST(DeflateBlockEnc, BlocksAreCutAfterMoreThanSizeMinusTwoEntries) {
    // Buffer of 10 entries: a block is written once 9 or 10 are buffered.
    struct Case {
        const char* name;
        int literals;
        int matches;                           // after the literals
        std::vector<std::size_t> block_sizes;  // tokens per block
    };
    const std::vector<Case> cases = {
        {"8 literals", 8, 0, {8}},
        {"9 literals", 9, 0, {9, 0}},
        {"10 literals", 10, 0, {9, 1}},
        {"6 literals, match", 6, 1, {7}},
        {"7 literals, match", 7, 1, {8, 0}},
        {"8 literals, match", 8, 1, {9, 0}},
        {"1 literal, 6 matches", 1, 6, {5, 2}},
        {"nothing", 0, 0, {0}},
    };
    for (const Case& c : cases) {
        std::vector<ParsedToken> tokens;
        for (int i = 0; i < c.literals; ++i) tokens.push_back(literal_token('a' + i % 3));
        for (int i = 0; i < c.matches; ++i) tokens.push_back(match_token(4, 1));
        std::int32_t blocks = 0;
        const Bytes stream = write_tokens(tokens, 10, &blocks);
        const ParsedStream parsed = parse_deflate(stream);
        std::vector<std::size_t> sizes;
        for (const ParsedBlock& block : parsed.blocks) sizes.push_back(block.tokens.size());
        EXPECT_EQ(sizes, c.block_sizes) << c.name;
        EXPECT_EQ(blocks, static_cast<std::int32_t>(c.block_sizes.size())) << c.name;
        for (std::size_t i = 0; i < parsed.blocks.size(); ++i) {
            EXPECT_EQ(parsed.blocks[i].final_flag, i + 1 == parsed.blocks.size() ? 1 : 0) << c.name;
        }
        ZlibOracle::instance().queue(c.name, stream, expand(tokens));
    }
}

TEST(DeflateBlockEnc, BlocksEndWhereTheDataChanges) {
    // Stretches of 20000 tokens of one kind each: lower-case letters, high
    // bytes, short near matches. When asked, a block ends within one check
    // interval (512 entries) after each change of kind, and elsewhere only
    // at the entry limit.
    enum Kind { LETTERS, HIGH_BYTES, MATCHES };
    const auto append = [](std::vector<ParsedToken>& tokens, Kind kind, std::uint64_t seed) {
        for (std::uint8_t b : corpus::random_bytes(20000, seed)) {
            tokens.push_back(kind == LETTERS      ? literal_token('a' + b % 26)
                             : kind == HIGH_BYTES ? literal_token(0x80 | b)
                                                  : match_token(3 + b % 4, 1 + b));
        }
    };
    struct Case {
        const char* name;
        std::vector<Kind> kinds;
        std::vector<std::size_t> block_ends;  // in tokens, the last one the end of input
    };
    const std::vector<Case> cases = {
        {"letters only", {LETTERS, LETTERS, LETTERS}, {32767, 60000}},
        {"letters, high bytes, letters", {LETTERS, HIGH_BYTES, LETTERS}, {20000, 40000, 60000}},
        {"high bytes, matches", {HIGH_BYTES, MATCHES}, {20000, 36383, 40000}},
    };
    for (const Case& c : cases) {
        std::vector<ParsedToken> tokens;
        for (std::size_t i = 0; i < c.kinds.size(); ++i) append(tokens, c.kinds[i], 10 + i);
        const Bytes stream = write_tokens(tokens, DeflateBlockEnc::BUFFER_ENTRIES, nullptr, true);
        const ParsedStream parsed = parse_deflate(stream);
        EXPECT_TRUE(parsed.tokens() == tokens) << c.name;
        std::vector<std::size_t> ends;
        for (const ParsedBlock& block : parsed.blocks) {
            ends.push_back((ends.empty() ? 0 : ends.back()) + block.tokens.size());
        }
        ASSERT_EQ(ends.size(), c.block_ends.size()) << c.name;
        for (std::size_t i = 0; i < ends.size(); ++i) {
            EXPECT_GE(ends[i], c.block_ends[i]) << c.name << ", block " << i;
            EXPECT_LE(ends[i], c.block_ends[i] + 512) << c.name << ", block " << i;
        }
        ZlibOracle::instance().queue(std::string("split ") + c.name, stream, expand(tokens));
    }
}

TEST(DeflateBlockEnc, DeepTreesAreLimitedToFifteenBits) {
    // Literal counts 1, 1, 2, 4, ..., 65536 (and the end code once) make a
    // Huffman tree 18 levels deep; the lengths are limited to 15, and the
    // code still decodes.
    std::vector<ParsedToken> tokens;
    std::int64_t count = 1;
    for (int symbol = 0; symbol < 18; ++symbol) {
        for (std::int64_t i = 0; i < count; ++i) tokens.push_back(literal_token(symbol));
        if (symbol > 0) count *= 2;
    }
    const Bytes stream = write_tokens(tokens, 1 << 20);
    const ParsedStream parsed = parse_deflate(stream);
    ASSERT_EQ(parsed.blocks.size(), 1u);
    int longest = 0;
    for (int length : parsed.blocks[0].literal_lengths) longest = std::max(longest, length);
    EXPECT_EQ(longest, 15);
    EXPECT_TRUE(parsed.output == expand(tokens));
    ZlibOracle::instance().queue("deep_tree", stream, expand(tokens));
}

}  // namespace
