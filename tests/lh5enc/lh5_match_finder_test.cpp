// Proves the literals and matches the encoder chooses: greedy longest
// matches with the nearer one on ties, positions inside matches left out of
// the chains, the 8192-byte reach and its shortening right after each
// buffer slide, and that the fast search gives byte for byte the data of
// the plain one over a varied corpus (random, text, runs, small alphabets,
// periods around the reach, the repository's own sources, sizes around the
// block and slide boundaries), every result decoding back to its source.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lh5_enc.h"
#include "lh5_reference_decoder.h"
#include "lh5_test_support.h"

using lh5_test::Bytes;
using lh5_test::literal_token;
using lh5_test::match_token;
using lh5_test::Token;
using lzh::LH5MatchFinder;

namespace {

const LH5MatchFinder BOTH[] = {LH5MatchFinder::REFERENCE, LH5MatchFinder::FAST};

const char* name_of(LH5MatchFinder finder) { return finder == LH5MatchFinder::FAST ? "fast" : "reference"; }

std::vector<Token> tokens_of(const Bytes& input, LH5MatchFinder finder) {
    const auto out = lh5_test::compress(input, finder);
    const auto decoded = lh5_test::decode(out.data, input.size());
    EXPECT_EQ(decoded.bytes, input);
    return decoded.tokens;
}

std::vector<Token> literals(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::vector<Token> out;
    for (std::size_t i = from; i < to; ++i) out.push_back(literal_token(bytes[i]));
    return out;
}

std::vector<Token> concat(std::vector<Token> a, const std::vector<Token>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

Bytes join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- the choices of the search ---------------------------------------------

struct TokenCase {
    const char* name;
    Bytes input;
    std::vector<Token> tokens;
};

std::vector<TokenCase> token_cases() {
    // A prefix of the pair sequence has no repeated pair and so no match:
    // every match below comes from the copy appended to it.
    const Bytes pairs = corpus::pair_sequence();
    const auto pairs_to = [&](std::size_t n) { return slice(pairs, 0, n); };
    std::vector<TokenCase> cases;

    cases.push_back({"abcabc",
                     Bytes{'a', 'b', 'c', 'a', 'b', 'c'},
                     {literal_token('a'), literal_token('b'), literal_token('c'), match_token(3, 3)}});
    cases.push_back(
        {"300_equal_bytes", Bytes(300, 'x'), {literal_token('x'), match_token(256, 1), match_token(43, 256)}});
    // Two candidates of equal length: the nearer wins.
    cases.push_back({"tie_goes_to_the_nearer",
                     Bytes{'a', 'b', 'c', 'x', 'a', 'b', 'c', 'y', 'a', 'b', 'c'},
                     {literal_token('a'), literal_token('b'), literal_token('c'), literal_token('x'), match_token(3, 4),
                      literal_token('y'), match_token(3, 4)}});
    // A longer match farther back beats a nearer short one.
    cases.push_back({"longest_wins",
                     Bytes{'a', 'b', 'c', 'd', 'x', 'a', 'b', 'c', 'y', 'a', 'b', 'c', 'd'},
                     {literal_token('a'), literal_token('b'), literal_token('c'), literal_token('d'),
                      literal_token('x'), match_token(3, 5), literal_token('y'), match_token(4, 9)}});
    // Greedy, not lazy: the match at "ab" takes abc though bcdef follows.
    cases.push_back({"greedy",
                     Bytes{'a', 'b', 'c', 'x', 'b', 'c', 'd', 'e', 'f', 'y', 'a', 'b', 'c', 'd', 'e', 'f'},
                     {literal_token('a'), literal_token('b'), literal_token('c'), literal_token('x'),
                      literal_token('b'), literal_token('c'), literal_token('d'), literal_token('e'),
                      literal_token('f'), literal_token('y'), match_token(3, 10), match_token(3, 7)}});
    // Positions inside a match are not entered: "cdeQ" at 7 (inside the
    // match of abcde) would give 4 bytes at distance 4; only position 2 is a
    // candidate, for 3 bytes at distance 9.
    cases.push_back(
        {"inside_matches_not_entered",
         Bytes{'a', 'b', 'c', 'd', 'e', 'a', 'b', 'c', 'd', 'e', 'Q', 'c', 'd', 'e', 'Q'},
         {literal_token('a'), literal_token('b'), literal_token('c'), literal_token('d'), literal_token('e'),
          match_token(5, 5), literal_token('Q'), match_token(3, 9), literal_token('Q')}});

    // Before the first slide: the full reach of 8192 back, and no farther.
    cases.push_back({"reach_8192", join(pairs_to(16000), slice(pairs, 16000 - 8192, 16000 - 8192 + 256)),
                     concat(literals(pairs, 0, 16000), {match_token(256, 8192)})});
    cases.push_back({"not_8193", join(pairs_to(16000), slice(pairs, 16000 - 8193, 16000 - 8193 + 100)),
                     concat(literals(pairs, 0, 16000), literals(pairs, 16000 - 8193, 16000 - 8193 + 100))});

    // The buffer slides when the position reaches 16128 and keeps 7936
    // bytes behind it: 7936 back is found there, 7937 is not; one byte
    // later the reach is 7937.
    cases.push_back({"after_slide_7936", join(pairs_to(16128), slice(pairs, 8192, 8292)),
                     concat(literals(pairs, 0, 16128), {match_token(100, 7936)})});
    cases.push_back({"after_slide_7937", join(pairs_to(16128), slice(pairs, 8191, 8291)),
                     concat(concat(literals(pairs, 0, 16128), literals(pairs, 8191, 8192)), {match_token(99, 7937)})});
    // 256 positions after the slide the reach is 8192 again.
    cases.push_back({"reach_restored", join(pairs_to(16384), slice(pairs, 8192, 8292)),
                     concat(literals(pairs, 0, 16384), {match_token(100, 8192)})});
    // A match across the slide point, then the rest of the copy: its
    // source (at 8064 to 8107) lies before the slid buffer, so literals.
    cases.push_back({"match_across_the_slide", join(pairs_to(16000), slice(pairs, 7808, 8108)),
                     concat(concat(literals(pairs, 0, 16000), {match_token(256, 8192)}), literals(pairs, 8064, 8108))});
    // The second slide (at 24320) shortens the reach the same way.
    cases.push_back(
        {"second_slide", join(pairs_to(24320), slice(pairs, 24320 - 7937, 24320 - 7937 + 50)),
         concat(concat(literals(pairs, 0, 24320), literals(pairs, 16383, 16384)), {match_token(49, 7937)})});
    return cases;
}

TEST(Lh5MatchFinder, ChoosesTheseLiteralsAndMatches) {
    for (const TokenCase& c : token_cases()) {
        for (const LH5MatchFinder finder : BOTH) {
            SCOPED_TRACE(std::string(c.name) + " " + name_of(finder));
            const std::vector<Token> tokens = tokens_of(c.input, finder);
            EXPECT_EQ(tokens.size(), c.tokens.size());
            const auto [mine, wanted] = std::mismatch(tokens.begin(), tokens.end(), c.tokens.begin(), c.tokens.end());
            if (mine != tokens.end() && wanted != c.tokens.end()) {
                ADD_FAILURE() << "token " << (mine - tokens.begin()) << ": length " << mine->length << " distance "
                              << mine->distance << " literal " << int(mine->literal) << ", wanted length "
                              << wanted->length << " distance " << wanted->distance << " literal "
                              << int(wanted->literal);
            }
        }
    }
}

// Matches never reach farther than 8192 back, and on a source with a long
// period they do reach that far, past many slides.
TEST(Lh5MatchFinder, DistancesStayWithinTheReach) {
    const Bytes block = lh5_test::random_bytes(8192, 11);
    const Bytes input = lh5_test::repeated(block, 100000);
    for (const LH5MatchFinder finder : BOTH) {
        SCOPED_TRACE(name_of(finder));
        int longest = 0;
        for (const Token& t : tokens_of(input, finder)) longest = std::max(longest, t.distance);
        EXPECT_EQ(longest, 8192);
    }
    const Bytes too_far = lh5_test::repeated(lh5_test::random_bytes(8193, 12), 60000);
    for (const Token& t : tokens_of(too_far, LH5MatchFinder::FAST)) EXPECT_LE(t.distance, 8192);
}

// ---- the fast search against the plain one ---------------------------------

std::vector<std::pair<std::string, Bytes>> corpus() {
    std::vector<std::pair<std::string, Bytes>> items;
    const Bytes pairs = corpus::pair_sequence();
    items.push_back({"random_100k", lh5_test::random_bytes(100000, 1)});
    items.push_back({"text_400k", lh5_test::text_like(400000, 2)});
    items.push_back({"runs_200k", lh5_test::runs(200000, 3, 40)});
    items.push_back({"long_runs_300k", lh5_test::runs(300000, 4, 2000)});
    items.push_back({"binary_alphabet_100k", lh5_test::random_bytes(100000, 5, 2)});
    items.push_back({"four_letters_150k", lh5_test::random_bytes(150000, 6, 4)});
    items.push_back({"zeros_600k", Bytes(600000, 0)});
    // A whole block of one match symbol and one position symbol, then text.
    items.push_back({"zeros_4500k_then_text", join(Bytes(4500000, 0), lh5_test::text_like(30000, 8))});
    items.push_back({"pairs_whole", pairs});
    for (const int period : {3, 255, 256, 257, 7936, 7937, 8191, 8192, 8193, 12000}) {
        items.push_back(
            {"period_" + std::to_string(period),
             lh5_test::repeated(lh5_test::random_bytes(static_cast<std::size_t>(period), 100 + period), 70000)});
    }
    // Small files, which hash into fewer buckets (at least 2^10), after the
    // large ones above have filled the reused finder's tables.
    for (const std::size_t size : {1u, 3u, 600u, 1023u, 1024u, 5000u}) {
        items.push_back({"small_text_" + std::to_string(size), lh5_test::text_like(size, static_cast<std::uint32_t>(size))});
    }
    // Sizes around the block cut (literal-only data), the slide points and
    // the fast form's own buffer of 2^18 bytes.
    for (const std::size_t size : {16382u, 16383u, 16384u, 16385u, 32766u, 32767u}) {
        items.push_back({"pairs_" + std::to_string(size), slice(pairs, 0, size)});
    }
    for (const std::size_t size :
         {16127u, 16128u, 16129u, 16383u, 16384u, 24319u, 24320u, 24321u, 262143u, 262144u, 262145u, 262144u + 8192u}) {
        items.push_back({"text_" + std::to_string(size), lh5_test::text_like(size, static_cast<std::uint32_t>(size))});
    }
    // Mixed: text, random, runs and a repeat of the text, across the slides.
    {
        Bytes mixed = lh5_test::text_like(50000, 20);
        mixed = join(mixed, lh5_test::random_bytes(30000, 21));
        mixed = join(mixed, lh5_test::runs(30000, 22, 300));
        mixed = join(mixed, slice(mixed, 40000, 90000));
        items.push_back({"mixed", mixed});
    }
    // The repository's own sources, in a fixed order.
    {
        std::vector<std::filesystem::path> files;
        for (const char* dir : {"coding", "lzh", "support", "jobframe", "launcher"}) {
            const auto root = std::filesystem::path(TSUCHI_SOURCE_DIR) / dir;
            if (!std::filesystem::exists(root)) continue;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
                const auto ext = entry.path().extension();
                if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        Bytes sources;
        for (const auto& path : files) {
            std::ifstream in(path, std::ios::binary);
            sources.insert(sources.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        EXPECT_GT(sources.size(), 50000u);
        items.push_back({"own_sources", sources});
    }
    return items;
}

TEST(Lh5MatchFinder, FastFormGivesTheSameBytes) {
    for (const auto& [name, input] : corpus()) {
        SCOPED_TRACE(name);
        const auto plain = lh5_test::compress(input, LH5MatchFinder::REFERENCE, "plain");
        const auto fast = lh5_test::compress(input, LH5MatchFinder::FAST, "fast");
        EXPECT_EQ(plain.data.size(), fast.data.size());
        EXPECT_TRUE(plain.data == fast.data);
        EXPECT_EQ(plain.result.crc, fast.result.crc);
        EXPECT_EQ(fast.result.crc, lh5_test::crc16(input));
        EXPECT_EQ(fast.result.bytes_read, static_cast<std::int64_t>(input.size()));
        try {
            EXPECT_TRUE(lh5_test::decode(fast.data, input.size()).bytes == input);
        } catch (const lh5_test::DecodeError& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

}  // namespace
