// Proves the choices of the Deflate match finder on inputs built so that
// the right answer is known: runs are cut into matches of at most 256 and
// later matches reach back to the last search start; block boundaries fall
// where the entry buffer overflows, also at the last symbol; a stream
// without matches describes one distance code; and the window is exactly
// 32768 bytes before a slide, 32512 bytes right after the slides at input
// offsets 65280 and 98048, with the refilled data found where it belongs.
// Each stream is also compared between the two encoder forms and inflated
// by zlib (deflate_test_support.h).
#include <gtest/gtest.h>

#include <string>

#include "byte_corpus.h"
#include "deflate_test_support.h"

namespace {

ParsedToken L(int byte) { return literal_token(byte); }
ParsedToken M(int length, int distance) { return match_token(length, distance); }

std::string describe(const std::vector<ParsedToken>& tokens) {
    std::string out;
    for (const ParsedToken& t : tokens) {
        out += t.length == 0 ? "L" + std::to_string(t.literal)
                             : "M" + std::to_string(t.length) + "/" + std::to_string(t.distance);
        out += ' ';
    }
    return out;
}

TEST(DeflateMatchFinder, RunsAreCutIntoMatchesOfAtMost256) {
    // After the first match the next search starts at offset 257; the
    // nearest entered position with the same key is offset 1 (the start of
    // the first match; the bytes inside it were not entered), so later
    // matches have distance 256.
    const int x = 'x';
    struct Case {
        int run;
        std::vector<ParsedToken> tokens;
    };
    const std::vector<Case> cases = {
        {3, {L(x), L(x), L(x)}},
        {4, {L(x), M(3, 1)}},
        {257, {L(x), M(256, 1)}},
        {258, {L(x), M(256, 1), L(x)}},
        {259, {L(x), M(256, 1), L(x), L(x)}},
        {260, {L(x), M(256, 1), M(3, 256)}},
        {600, {L(x), M(256, 1), M(256, 256), M(87, 256)}},
        {1000, {L(x), M(256, 1), M(256, 256), M(256, 256), M(231, 256)}},
    };
    for (const Case& c : cases) {
        ParsedStream parsed;
        encode_checked("run_" + std::to_string(c.run), Bytes(static_cast<std::size_t>(c.run), 'x'), &parsed);
        EXPECT_EQ(describe(parsed.tokens()), describe(c.tokens)) << "run of " << c.run;
    }
}

TEST(DeflateMatchFinder, NearestOfEquallyLongMatchesWins) {
    // "abcd" stands at 0, 10, 19 and 28. At 19 the candidates 10 and 0
    // both give 4 bytes, and the nearer (distance 9) wins; at 28 only the
    // farthest, 0, gives 5 ("abcde"), and a longer match beats nearness.
    const std::string s = std::string("abcde12345") + "abcdX6789" + "abcdYqrst" + "abcdeZ";
    ParsedStream parsed;
    encode_checked("nearest", Bytes(s.begin(), s.end()), &parsed);
    std::vector<ParsedToken> matches;
    for (const ParsedToken& t : parsed.tokens()) {
        if (t.length != 0) matches.push_back(t);
    }
    EXPECT_EQ(describe(matches), describe({M(4, 10), M(4, 9), M(5, 28)}));
}

// The input of the block tests: literals only, then possibly one match.
struct BlockCase {
    const char* name;
    int literals;
    bool match;      // a three-byte match at the end
    int blocks;      // blocks written
    int first_size;  // tokens in the first block
};

TEST(DeflateMatchFinder, BlocksEndWhereTheEntryBufferOverflows) {
    // More than 32766 entries write a block: 32767 literals, or a match
    // (two entries) that brings the count to 32767 or 32768. When that
    // happens at the last symbol, the final block holds only the end code.
    const std::vector<BlockCase> cases = {
        {"32766_literals", 32766, false, 1, 32766},
        {"32767_literals", 32767, false, 2, 32767},
        {"32764_literals_and_a_match", 32764, true, 1, 32765},
        {"32765_literals_and_a_match", 32765, true, 2, 32766},
        {"32766_literals_and_a_match", 32766, true, 2, 32767},
    };
    const Bytes pairs = corpus::pair_sequence();
    for (const BlockCase& c : cases) {
        Bytes input(pairs.begin(), pairs.begin() + c.literals);
        if (c.match) input.insert(input.end(), pairs.begin(), pairs.begin() + 3);
        ParsedStream parsed;
        const Encoded encoded = encode_checked(c.name, input, &parsed);
        ASSERT_EQ(static_cast<int>(parsed.blocks.size()), c.blocks) << c.name;
        EXPECT_EQ(encoded.blocks, c.blocks) << c.name;
        EXPECT_EQ(static_cast<int>(parsed.blocks[0].tokens.size()), c.first_size) << c.name;
        EXPECT_EQ(parsed.blocks[0].final_flag, c.blocks == 1 ? 1 : 0) << c.name;
        if (c.match) {
            EXPECT_EQ(parsed.blocks[0].tokens.back(), M(3, c.literals)) << c.name;
        }
        if (c.blocks == 2) {
            const ParsedBlock& last = parsed.blocks[1];
            EXPECT_EQ(last.final_flag, 1) << c.name;
            EXPECT_TRUE(last.tokens.empty()) << c.name;
            EXPECT_EQ(last.literal_count, 257) << c.name;
            EXPECT_EQ(last.literal_lengths[256], 1) << c.name;
        }
    }
}

TEST(DeflateMatchFinder, BlocksWithoutMatchesDescribeOneDistanceCode) {
    // All 65536 byte pairs once: no match anywhere, two full blocks of
    // 32767 literals and a final block with the last two.
    ParsedStream parsed;
    encode_checked("pair_sequence", corpus::pair_sequence(), &parsed);
    ASSERT_EQ(parsed.blocks.size(), 3u);
    const std::size_t sizes[3] = {32767, 32767, 2};
    for (std::size_t i = 0; i < 3; ++i) {
        const ParsedBlock& block = parsed.blocks[i];
        EXPECT_EQ(block.tokens.size(), sizes[i]);
        EXPECT_EQ(block.distance_count, 1) << "block " << i;
        EXPECT_EQ(block.distance_lengths, std::vector<int>{1}) << "block " << i;
        for (const ParsedToken& t : block.tokens) ASSERT_EQ(t.length, 0);
    }
}

TEST(DeflateMatchFinder, CodeLengthRunsStayWithinTheirList) {
    // The distance list never continues a repeat of the literal/length
    // list: its first code-length symbol is never 16. Checked over blocks
    // of varied data, several with a literal list that ends in a run.
    for (std::uint64_t seed = 1; seed <= 6; ++seed) {
        const Bytes input = seed % 2 ? corpus::text_bytes(20000, seed) : corpus::skewed_bytes(20000, 3, seed);
        ParsedStream parsed;
        encode_checked("lists_" + std::to_string(seed), input, &parsed);
        for (const ParsedBlock& block : parsed.blocks) {
            // Find where the distance list's symbols begin.
            std::size_t covered = 0;
            std::size_t k = 0;
            for (; k < block.length_symbols.size() && covered < static_cast<std::size_t>(block.literal_count); ++k) {
                const auto [symbol, extra] = block.length_symbols[k];
                covered += symbol < 16 ? 1 : symbol == 16 ? 3 + extra : symbol == 17 ? 3 + extra : 11 + extra;
            }
            EXPECT_EQ(covered, static_cast<std::size_t>(block.literal_count));
            ASSERT_LT(k, block.length_symbols.size());
            EXPECT_NE(block.length_symbols[k].first, 16);
        }
    }
}

// The window around the slides. The filler is the pair sequence, so
// there are no matches except the one planted: the three bytes at source
// are copied to target, and the token at target shows whether source was
// still reachable.
struct WindowCase {
    const char* name;
    std::size_t size;
    std::size_t target;
    std::size_t source;
    bool found;
};

TEST(DeflateMatchFinder, WindowAroundTheSlides) {
    const std::vector<WindowCase> cases = {
        // Before the first slide the window is the full 32768 bytes.
        {"before_slide_at_window_edge", 70000, 65279, 65279 - 32768, true},
        {"before_slide_beyond_window", 70000, 65279, 65279 - 32769, false},
        // At offset 65280 the buffer has slid: the 256 bytes that were
        // still in the window but below buffer offset 32768 are gone.
        {"after_slide_kept", 70000, 65280, 65280 - 32512, true},
        {"after_slide_dropped", 70000, 65280, 65280 - 32513, false},
        // A file of exactly 65280 bytes slides after its last byte; its
        // last three bytes can still match.
        {"slide_after_last_byte", 65280, 65277, 65277 - 32768, true},
        // The second slide comes 32768 bytes later, at offset 98048; the
        // bytes around it arrived with the first refill (offsets 65536 to
        // 98303) and the second one.
        {"second_slide_kept", 131072, 98048, 98048 - 32512, true},
        {"second_slide_dropped", 131072, 98048, 98048 - 32513, false},
        {"after_second_slide", 131072, 120000, 120000 - 32768, true},
    };
    for (const WindowCase& c : cases) {
        Bytes input = corpus::pair_sequence(c.size);
        // The byte before each copy must differ, or the token before the
        // target could reach back to the copy's neighbour and swallow it.
        ASSERT_NE(input[c.source - 1], input[c.target - 1]) << c.name;
        std::copy(input.begin() + static_cast<std::ptrdiff_t>(c.source),
                  input.begin() + static_cast<std::ptrdiff_t>(c.source + 3),
                  input.begin() + static_cast<std::ptrdiff_t>(c.target));
        ParsedStream parsed;
        encode_checked(c.name, input, &parsed);
        std::size_t offset = 0;
        bool seen = false;
        for (const ParsedToken& t : parsed.tokens()) {
            if (offset == c.target) {
                seen = true;
                if (c.found) {
                    EXPECT_GE(t.length, 3) << c.name;
                    EXPECT_EQ(t.distance, static_cast<int>(c.target - c.source)) << c.name;
                } else {
                    EXPECT_EQ(t.length, 0) << c.name;
                }
            } else if (offset < c.target || offset > c.target + 3) {
                EXPECT_EQ(t.length, 0) << c.name << ": unexpected match at " << offset;
            }
            offset += t.length == 0 ? 1 : static_cast<std::size_t>(t.length);
        }
        EXPECT_TRUE(seen) << c.name << ": no token starts at the target";
    }
}

}  // namespace
