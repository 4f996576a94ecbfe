// Proves that the Deflate encoder writes exactly the bits its rules give for
// small inputs worked out by hand: the empty file, ten equal bytes, abcabc
// and eight distinct bytes. Each expectation below was derived on paper from
// the symbol counts, the Huffman construction, the run-length coding of the
// code lengths and the canonical codes; both encoder forms must match it,
// and zlib must inflate it.
#include <gtest/gtest.h>

#include <string>

#include "deflate_test_support.h"

namespace {

// Bits in stream order. field() appends a value least significant bit
// first (header fields, extra bits); code() appends a Huffman code first
// bit first, as written ("110").
class ExpectedBits {
public:
    ExpectedBits& field(std::uint32_t value, int n) {
        for (int i = 0; i < n; ++i) bits_.push_back(static_cast<int>((value >> i) & 1));
        return *this;
    }
    ExpectedBits& code(const std::string& code) {
        for (char c : code) bits_.push_back(c == '1' ? 1 : 0);
        return *this;
    }
    // The three-bit lengths of the code-length code for the first count
    // symbols in the order 16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3,
    // 13, 2, 14, 1, 15, given by symbol.
    ExpectedBits& code_length_lengths(int count, const std::vector<std::pair<int, int>>& by_symbol) {
        static const int ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        for (int i = 0; i < count; ++i) {
            int length = 0;
            for (const auto& [symbol, l] : by_symbol) {
                if (symbol == ORDER[i]) length = l;
            }
            field(static_cast<std::uint32_t>(length), 3);
        }
        return *this;
    }
    Bytes bytes() const {
        Bytes out((bits_.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < bits_.size(); ++i) {
            if (bits_[i]) out[i / 8] |= static_cast<std::uint8_t>(1 << (i % 8));
        }
        return out;
    }

private:
    std::vector<int> bits_;
};

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string hex(const Bytes& bytes) {
    static const char* const DIGITS = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += DIGITS[b >> 4];
        out += DIGITS[b & 15];
    }
    return out;
}

struct ExactCase {
    const char* name;
    Bytes input;
    ExpectedBits expected;
};

std::vector<ExactCase> exact_cases() {
    std::vector<ExactCase> cases;

    // Empty file: one final block holding only the end-of-block code.
    // Literal/length counts: 256 once, so 256 gets the one-bit code 0 and
    // the list ends there (HLIT 0). No match: the distance list is the
    // single length 1 (HDIST 0). Lengths sent: 256 zeros = 18(138-11),
    // 18(118-11), then 1; distance list: 1. Code-length code: 1 and 18,
    // twice each, one bit each: 1 -> 0, 18 -> 1; the last non-zero length
    // in the sending order is that of 1 (place 17), so 18 lengths go out.
    {
        ExpectedBits e;
        e.field(1, 1).field(2, 2).field(0, 5).field(0, 5).field(14, 4);
        e.code_length_lengths(18, {{18, 1}, {1, 1}});
        e.code("1").field(127, 7).code("1").field(107, 7).code("0");  // literal/length list
        e.code("0");                                                  // distance list
        e.code("0");                                                  // end of block
        cases.push_back({"empty", {}, e});
    }

    // Ten equal bytes: literal 'a', then a match of 9 at distance 1 that
    // overlaps what it produces. Counts: 97, 256, 263 (length 9) once
    // each; the Huffman tree joins 97 and 256 first, so 263 gets 1 bit and
    // 97, 256 two: 263 -> 0, 97 -> 10, 256 -> 11. HLIT 264 - 257 = 7.
    // Distance 1 is code 0, the only one: one bit, 0.
    // Lengths sent: 97 zeros 18(86); 2; 158 zeros 18(127) 18(9); 2;
    // 6 zeros 17(3); 1; distance list 1. Code-length symbols 1 x2, 2 x2,
    // 17 x1, 18 x3 all get two bits: 1 -> 00, 2 -> 01, 17 -> 10, 18 -> 11.
    {
        ExpectedBits e;
        e.field(1, 1).field(2, 2).field(7, 5).field(0, 5).field(14, 4);
        e.code_length_lengths(18, {{1, 2}, {2, 2}, {17, 2}, {18, 2}});
        e.code("11").field(86, 7).code("01").code("11").field(127, 7).code("11").field(9, 7);
        e.code("01").code("10").field(3, 3).code("00");
        e.code("00");
        e.code("10").code("0").code("0").code("11");  // 'a', length 9, distance 1, end
        cases.push_back({"ten_equal_bytes", text("aaaaaaaaaa"), e});
    }

    // abcabc: three literals and a match of 3 at distance 3. Counts 97, 98,
    // 99, 256, 257 once each: 99, 256, 257 get two bits (00, 01, 10), 97
    // and 98 three (110, 111). Distance 3 is code 2: the distance list is
    // (0, 0, 1), HDIST 2, code 2 -> 0.
    // Lengths sent: 18(86); 3; 3; 2; 156 zeros 18(127) 18(7); 2; 2;
    // distance list 0, 0, 1. Code-length symbols: 2 and 18 three times
    // (two bits), 3 twice (two bits), 0 twice and 1 once (three bits):
    // 2 -> 00, 3 -> 01, 18 -> 10, 0 -> 110, 1 -> 111.
    {
        ExpectedBits e;
        e.field(1, 1).field(2, 2).field(1, 5).field(2, 5).field(14, 4);
        e.code_length_lengths(18, {{0, 3}, {1, 3}, {2, 2}, {3, 2}, {18, 2}});
        e.code("10").field(86, 7).code("01").code("01").code("00");
        e.code("10").field(127, 7).code("10").field(7, 7).code("00").code("00");
        e.code("110").code("110").code("111");
        e.code("110").code("111").code("00").code("10").code("0").code("01");
        cases.push_back({"abcabc", text("abcabc"), e});
    }

    // Bytes 0 to 7: a block without matches, and a run of equal non-zero
    // lengths. Nine symbols counted once: 0 and 1 get four bits, 2 to 7 and
    // 256 three. Lengths sent: 4; 4; 3; 16(5 - 3 = 2) for five more 3s;
    // 248 zeros 18(127) 18(99); 3; distance list 1. Code-length symbols:
    // 3 and 4 and 18 twice (two bits: 3 -> 00, 4 -> 01, 18 -> 10), 1 and 16
    // once (three bits: 1 -> 110, 16 -> 111). Literals: 2..7 and 256 ->
    // 000 ... 110, 0 -> 1110, 1 -> 1111.
    {
        ExpectedBits e;
        e.field(1, 1).field(2, 2).field(0, 5).field(0, 5).field(14, 4);
        e.code_length_lengths(18, {{1, 3}, {3, 2}, {4, 2}, {16, 3}, {18, 2}});
        e.code("01").code("01").code("00").code("111").field(2, 2);
        e.code("10").field(127, 7).code("10").field(99, 7).code("00");
        e.code("110");
        e.code("1110").code("1111").code("000").code("001").code("010").code("011").code("100").code("101");
        e.code("110");
        cases.push_back({"eight_distinct_bytes", Bytes{0, 1, 2, 3, 4, 5, 6, 7}, e});
    }
    return cases;
}

TEST(DeflateExactBits, HandDerivedStreams) {
    for (const ExactCase& c : exact_cases()) {
        const Encoded encoded = encode_checked(c.name, c.input);
        EXPECT_EQ(hex(encoded.bytes), hex(c.expected.bytes())) << c.name;
        EXPECT_EQ(encoded.blocks, 1) << c.name;
    }
}

// Shows in the test list whether the streams of these programs are checked
// by zlib at all (the check itself runs at the end of each program).
TEST(DeflateZlibOracle, PythonZlibIsAvailable) {
    std::string why;
    if (!ZlibOracle::available(why)) GTEST_SKIP() << "streams are not checked with zlib: " << why;
}

}  // namespace
