// Proves the rows of the LZH method table: every member of archives made
// by jlha (-lh5-, -lh6-, -lh7- at header levels 0, 1 and 2) and of the
// generated archives of the other methods decodes to its original size and
// CRC, reading no further than its data, and (where lhasa is installed) to
// the very bytes lhasa extracts; hand-built streams reach each method's
// farthest distance and its starting ring; tables beyond a method's sizes
// are thrown; cut data is filled, never read past.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <stdexcept>

#include "lh5_dec.h"
#include "lzh_member_decode.h"
#include "truncated_fill.h"

namespace {

using namespace lzh_test;

const char* const ARCHIVES[] = {
    "jlha/tree-l0.lzh",          "jlha/tree-l1.lzh",          "jlha/tree-l2.lzh",          "jlha/tree-lh6-l0.lzh",
    "jlha/tree-lh6-l1.lzh",      "jlha/tree-lh6-l2.lzh",      "jlha/tree-lh7-l0.lzh",      "jlha/tree-lh7-l1.lzh",
    "jlha/tree-lh7-l2.lzh",      "generated/methods-lh1.lzh", "generated/methods-lzs.lzh", "generated/methods-lz5.lzh",
    "generated/methods-lz4.lzh", "generated/methods-pm0.lzh", "generated/methods-pm2.lzh", "generated/methods-pm1.lzh",
};

const lzh::LzhMethod& row(const std::string& method) {
    const lzh::LzhMethod* found = lzh::find_lzh_method(method);
    if (found == nullptr) throw std::runtime_error("no row for " + method);
    return *found;
}

// Every file member of every archive, with what it decodes to.
struct Case {
    std::string archive;
    RawMember member;
};

std::vector<Case> file_members() {
    std::vector<Case> cases;
    for (const char* archive : ARCHIVES) {
        for (const RawMember& m : raw_members(read_binary(fixture_path(archive)))) {
            if (m.method != "-lhd-") cases.push_back({archive, m});
        }
    }
    return cases;
}

TEST(LzhMethods, EveryMemberDecodesToItsSizeAndCrc) {
    std::map<std::string, int> per_method;
    for (const Case& c : file_members()) {
        const Decoded d = decode_member(row(c.member.method).decode, c.member.data, c.member.original_size);
        const std::string what = c.archive + " " + c.member.path;
        EXPECT_EQ(static_cast<std::int64_t>(d.output.size()), c.member.original_size) << what;
        EXPECT_EQ(d.crc, c.member.crc) << what;
        EXPECT_LE(d.consumed, static_cast<std::int64_t>(c.member.data.size())) << what;
        ++per_method[c.member.method];
    }
    // Each method is there, with members beyond the trivial.
    for (const char* method :
         {"-lh0-", "-lh1-", "-lh5-", "-lh6-", "-lh7-", "-lzs-", "-lz5-", "-lz4-", "-pm0-", "-pm1-", "-pm2-"}) {
        EXPECT_GE(per_method[method], 4) << method;
    }
}

#ifndef _WIN32
TEST(LzhMethods, LhasaExtractsTheSameBytes) {
    if (std::system("command -v lhasa >/dev/null 2>&1") != 0) GTEST_SKIP() << "lhasa is not installed";
    for (const char* archive : ARCHIVES) {
        Scratch scratch("methods_lhasa");
        const std::string path = fixture_path(archive).string();
        ASSERT_EQ(std::system(("cd '" + scratch.dest().string() + "' && lhasa xq '" + path + "'").c_str()), 0)
            << archive;
        for (const RawMember& m : raw_members(read_binary(fixture_path(archive)))) {
            if (m.method == "-lhd-" || m.original_size == 0) continue;
            const std::string theirs = read_binary(scratch.dest() / m.path);
            const Decoded mine = decode_member(row(m.method).decode, m.data, m.original_size);
            EXPECT_TRUE(mine.output == theirs) << archive << " " << m.path;
        }
    }
}
#endif

TEST(LzhMethods, TheTableKnowsEveryDataMethod) {
    for (const char* id :
         {"-lh0-", "-lh1-", "-lh4-", "-lh5-", "-lh6-", "-lh7-", "-lzs-", "-lz4-", "-lz5-", "-pm0-", "-pm1-", "-pm2-"}) {
        const lzh::LzhMethod* found = lzh::find_lzh_method(id);
        ASSERT_NE(found, nullptr) << id;
        EXPECT_EQ(found->id, id);
    }
    for (const char* id : {"-lhd-", "-lh8-", "-lh5", "", "-LH5-"}) EXPECT_EQ(lzh::find_lzh_method(id), nullptr) << id;
}

TEST(LzhMethods, CutDataIsFilledAndEmptyMembersReadNothing) {
    std::map<std::string, bool> seen;
    for (const Case& c : file_members()) {
        if (seen[c.member.method] || c.member.original_size < 1000) continue;
        seen[c.member.method] = true;
        const lzh::MemberDecoder decode = row(c.member.method).decode;
        const std::string what = c.archive + " " + c.member.path;
        for (const std::size_t keep : {std::size_t{0}, std::size_t{1}, c.member.data.size() / 2}) {
            const Decoded d = decode_member(decode, c.member.data.substr(0, keep), c.member.original_size);
            const std::int64_t filled = std::min(c.member.original_size, lzh::TRUNCATED_FILL_LIMIT);
            EXPECT_GE(static_cast<std::int64_t>(d.output.size()), filled) << what << " cut at " << keep;
            // -pm1- reads zero bits past the end, which go on decoding.
            if (c.member.method != "-pm1-") {
                EXPECT_EQ(d.output.back(), '\xFF') << what << " cut at " << keep;
            }
            EXPECT_NE(d.crc, c.member.crc) << what << " cut at " << keep;
        }
        const Decoded empty = decode_member(decode, c.member.data, 0);
        EXPECT_EQ(empty.output, "") << what;
        EXPECT_EQ(empty.consumed, 0) << what;
    }
    EXPECT_EQ(seen.size(), 11u);
}

// ---- -lh4-, -lh6-, -lh7-: the -lh5- coding with other sizes ----------------

struct Wide {
    const char* method;
    lzh::LH5Params params;
};
const Wide WIDE[] = {{"-lh4-", lzh::LH4_PARAMS}, {"-lh6-", lzh::LH6_PARAMS}, {"-lh7-", lzh::LH7_PARAMS}};

TEST(LzhMethods, FarthestDistanceOfEachDictionary) {
    // Random literals fill the dictionary; a match at the farthest value
    // (2^bits - 1, the last position symbol with all extra bits set)
    // copies the first of them, one at half of it the bytes that far back.
    std::mt19937 random(11);
    for (const Wide& w : WIDE) {
        const int farthest = (1 << w.params.dictionary_bits) - 1;
        std::string text(static_cast<std::size_t>(farthest + 1), '\0');
        for (char& c : text) c = static_cast<char>(random());
        std::vector<Token> tokens = literals(text);
        tokens.push_back({256 + 6 - 3, farthest});
        tokens.push_back({256 + 3 - 3, farthest / 2});
        std::string expected = text + text.substr(0, 6);
        expected += expected.substr(expected.size() - static_cast<std::size_t>(farthest / 2) - 1, 3);
        // A block holds at most 65535 symbols.
        std::vector<Block> blocks;
        for (std::size_t at = 0; at < tokens.size(); at += 60000) {
            blocks.push_back({{tokens.begin() + static_cast<std::ptrdiff_t>(at),
                               tokens.begin() + static_cast<std::ptrdiff_t>(std::min(tokens.size(), at + 60000))}});
        }
        const Decoded d =
            decode_member(row(w.method).decode, lh5_data(blocks, w.params), static_cast<std::int64_t>(expected.size()));
        EXPECT_TRUE(d.output == expected) << w.method;
    }
}

TEST(LzhMethods, PositionTablesBeyondTheMethodAreThrown) {
    // A block of one literal and the position description: count n (or
    // 0 and one symbol) in the method's field width.
    struct Case {
        const char* method;
        int count;
        int single;
        const char* error;  // null: accepted
    };
    const Case cases[] = {
        {"-lh4-", 14, 0, nullptr},
        {"-lh4-", 15, 0, "BLenPositionDec: position count is out of range."},
        {"-lh4-", 0, 14, "BLenPositionDec: single position symbol is out of range."},
        {"-lh6-", 16, 0, nullptr},
        {"-lh6-", 17, 0, "BLenPositionDec: position count is out of range."},
        {"-lh6-", 0, 15, nullptr},
        {"-lh6-", 0, 16, "BLenPositionDec: single position symbol is out of range."},
        {"-lh7-", 17, 0, nullptr},
        {"-lh7-", 18, 0, "BLenPositionDec: position count is out of range."},
        {"-lh7-", 31, 0, "BLenPositionDec: position count is out of range."},
        {"-lh7-", 0, 16, nullptr},
        {"-lh7-", 0, 17, "BLenPositionDec: single position symbol is out of range."},
    };
    for (const Case& c : cases) {
        const int width = std::string(c.method) == "-lh4-" ? 4 : 5;
        std::vector<std::uint8_t> sink;
        {
            lzh::BitOutStream out(sink);
            out.n_bit_put(1, 16);                        // one symbol
            out.n_bit_put(0, 5), out.n_bit_put(0, 5);    // code-length code: one symbol
            out.n_bit_put(0, 9), out.n_bit_put('p', 9);  // literal code: 'p' alone
            out.n_bit_put(static_cast<std::uint32_t>(c.count), width);
            if (c.count == 0) out.n_bit_put(static_cast<std::uint32_t>(c.single), width);
            for (int i = 0; i < c.count; ++i) out.n_bit_put(1, 3);  // lengths 1: over-subscribed unless used as is
            out.n_bit_put(0, 32);
        }
        std::string error;
        try {
            decode_member(row(c.method).decode, std::string(sink.begin(), sink.end()), 1);
        } catch (const char* text) {
            error = text;
        }
        if (c.error == nullptr) {
            EXPECT_NE(error, "BLenPositionDec: position count is out of range.") << c.method << " " << c.count;
            EXPECT_NE(error, "BLenPositionDec: single position symbol is out of range.") << c.method << " " << c.single;
        } else {
            EXPECT_EQ(error, c.error) << c.method << " " << c.count << " " << c.single;
        }
    }
}

// ---- LArc: matches name a place of a ring with known starting contents --------

TEST(LzhMethods, LzsCopiesFromRingPlaces) {
    // The first byte goes to place 2031. A match there of 2 + 3 bytes
    // overlaps its own output; place 0 still holds the starting spaces; a
    // match at 2046 runs over the end of the ring into place 0.
    const std::string data = bit_fields({{1, 1},
                                         {'A', 8},  // A
                                         {0, 1},
                                         {2031, 11},
                                         {3, 4},  // AAAAA
                                         {0, 1},
                                         {0, 11},
                                         {0, 4},  // two spaces
                                         {1, 1},
                                         {'z', 8},  // z at 2039
                                         {0, 1},
                                         {2039, 11},
                                         {15, 4}});  // 17 z across the end
    const Decoded d = decode_member(row("-lzs-").decode, data, 1 + 5 + 2 + 1 + 17);
    EXPECT_EQ(d.output.substr(0, 9), "AAAAAA  z");
    EXPECT_EQ(d.output.substr(9), std::string(17, 'z'));
}

TEST(LzhMethods, Lz5StartsFromItsPatternRing) {
    // Places 845-857 hold 13 copies of 'A' (65 x 13); 3328 + 48 starts the
    // ascending values at '0'; 3584 + 255 - 'z' the descending ones at 'z';
    // 3840 the zeros; 3968 the spaces.
    auto match = [](int place, int length) {
        return std::string{static_cast<char>(place & 0xFF), static_cast<char>(((place >> 4) & 0xF0) | (length - 3))};
    };
    const std::string data = std::string(1, '\x01') + "!" + match(845, 13) + match(3376, 10) +
                             match(3584 + 255 - 'z', 4) + match(3840, 3) + match(3968, 5) + match(4078, 3) +
                             match(4078, 3);
    // The last two: place 4078 is where the first byte went ('!'), so its
    // copy gives "!AA", and the same once more after the output has
    // wrapped round the end of the ring.
    const std::string expected =
        "!" + std::string(13, 'A') + "0123456789" + "zyxw" + std::string(3, '\0') + std::string(5, ' ') + "!AA" + "!AA";
    const Decoded d = decode_member(row("-lz5-").decode, data, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(d.output, expected);
}

// ---- PMarc: move-to-front literals --------------------------------------------

std::string thrown_by(const char* method, const std::string& data, std::int64_t size) {
    try {
        decode_member(row(method).decode, data, size);
    } catch (const char* text) {
        return text;
    }
    return "";
}

TEST(LzhMethods, Pm1WithoutALiteralTree) {
    // Tree 31: every literal is class 0 (places 0-15, 4 bits, no tree
    // bits). '!' is at place 1 of the starting list; once it has moved to
    // the front, '#' is still at place 3. The match after the run: below
    // 64 bytes of output its kind is one bit (0: kind 0, length 2) and its
    // value 6 bits.
    const std::string padding(4, '\xAA');
    const Decoded d = decode_member(row("-pm1-").decode,
                                    bit_fields({{31, 5}, {1, 1}, {1, 2}, {1, 4}, {3, 4}, {0, 1}, {1, 6}}) + padding, 4);
    EXPECT_EQ(d.output, "!#!#");
    // Value 2 reaches three bytes back, before the first of two.
    EXPECT_EQ(thrown_by("-pm1-", bit_fields({{31, 5}, {1, 1}, {1, 2}, {1, 4}, {3, 4}, {0, 1}, {2, 6}}) + padding, 4),
              "Pm1Decoder: a match reaches back before the member's first byte.");
}

TEST(LzhMethods, Pm2TablesBeyondTheAlphabetAreThrown) {
    // After the unused bit: command count (5 bits), least length (3).
    struct Case {
        const char* what;
        std::string data;
        std::string error;
    };
    const std::string padding(8, '\0');
    const std::vector<Case> cases = {
        {"command count 30", bit_fields({{0, 1}, {30, 5}, {2, 3}, {1, 3}}),
         "Pm2Decoder: command count is out of range."},
        {"one-symbol form of count 0", bit_fields({{0, 1}, {0, 5}, {0, 3}}),
         "Pm2Decoder: command count is out of range."},
        // Least length 7, width 4, a field of 15: length 21.
        {"command length 21", bit_fields({{0, 1}, {9, 5}, {7, 3}, {4, 3}, {15, 4}}), "BLenTable: out of range."},
        // Commands 0-9 of length 4 (symbol 9 is a match that needs the
        // position code), whose five lengths are all 0; then symbol 9.
        {"no position code", bit_fields({{0, 1}, {10, 5}, {4, 3}, {1, 3}, {0x3FF, 10}, {0, 15}, {9, 4}}),
         "Pm2Decoder: position table is empty."},
    };
    for (const Case& c : cases) EXPECT_EQ(thrown_by("-pm2-", c.data + padding, 100), c.error) << c.what;
}

}  // namespace
