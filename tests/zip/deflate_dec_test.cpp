// Proves the Deflate decoder and its copy loop on streams built bit by bit:
// stored, fixed and dynamic blocks and their sequence in one window; code
// lengths read as one HLIT + HDIST sequence (a repeat may cross into the
// distance lengths, none may run past them or come first); the empty
// stream of an empty file; matches cut by the entry's size; the limits a
// dynamic block header must keep (HLIT, HDIST, a complete literal/length
// code); the Deflate64 codes; and that every fault of the data, truncation
// at any point included, ends in a thrown text instead of a wrong result or
// a hang.
#include <gtest/gtest.h>

#include <utility>

#include "zip_test_support.h"

namespace {

using namespace ziptest;

constexpr const char* FINISHED_EARLY = "It finished on the way.";

// The canonical codes (first bit at the top) of a set of lengths.
std::vector<std::uint32_t> codes_of(const std::vector<int>& lengths) {
    const coding::BitPatternTable<coding::BitOrder::MSB_FIRST> table{coding::BLenTable(lengths)};
    return std::vector<std::uint32_t>(table.patterns.begin(), table.patterns.end());
}

// A dynamic block header. The code-length code is fixed for all tests:
// 4 bits for the symbols 0 to 12, 5 bits for 13 to 18 (a complete code).
// sequence: the code-length symbols with their extra values.
class DynamicBlock {
public:
    DynamicBlock(int literal_count, int distance_count, std::vector<std::pair<int, int>> sequence)
        : literal_count_(literal_count), distance_count_(distance_count), sequence_(std::move(sequence)) {
        for (int symbol = 0; symbol < 19; ++symbol) code_length_lengths_.push_back(symbol < 13 ? 4 : 5);
    }

    void header_put(DeflateWriter& writer, bool final) const {
        static constexpr int ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        writer.header(final, 2)
            .bits(static_cast<std::uint32_t>(literal_count_ - 257), 5)
            .bits(static_cast<std::uint32_t>(distance_count_ - 1), 5)
            .bits(19 - 4, 4);
        for (const int symbol : ORDER) writer.bits(static_cast<std::uint32_t>(code_length_lengths_[symbol]), 3);
        const std::vector<std::uint32_t> codes = codes_of(code_length_lengths_);
        for (const auto& [symbol, extra] : sequence_) {
            writer.code(codes[static_cast<std::size_t>(symbol)],
                        code_length_lengths_[static_cast<std::size_t>(symbol)]);
            if (symbol == 16) writer.bits(static_cast<std::uint32_t>(extra), 2);
            if (symbol == 17) writer.bits(static_cast<std::uint32_t>(extra), 3);
            if (symbol == 18) writer.bits(static_cast<std::uint32_t>(extra), 7);
        }
    }

private:
    int literal_count_;
    int distance_count_;
    std::vector<std::pair<int, int>> sequence_;
    std::vector<int> code_length_lengths_;
};

// The codes of the dynamic blocks below: 'a' and 'b' and end of block with
// 2 bits, the match lengths 4 (258) and 5 (259) with 3 bits; HLIT 260.
std::vector<int> test_literal_lengths() {
    std::vector<int> lengths(260, 0);
    lengths['a'] = lengths['b'] = lengths[256] = 2;
    lengths[258] = lengths[259] = 3;
    return lengths;
}
// The same lengths as a code-length sequence, up to and including symbol
// 258: 97 zeros, 2, 2, 157 zeros, 2, 0, 3.
std::vector<std::pair<int, int>> literal_sequence_to_258() {
    return {{18, 97 - 11}, {2, 0}, {2, 0}, {18, 138 - 11}, {18, 19 - 11}, {2, 0}, {0, 0}, {3, 0}};
}

class DeflateDecTest : public ::testing::Test {
protected:
    Inflated inflate(const ByteString& stream, std::int64_t size, bool next_byte = true) {
        return inflate_entry(stream, size, scratch.root(), next_byte);
    }

    // "ab", a match of 4 at distance 2, "b", a match of 5 at distance 1, in
    // the dynamic code above whose distance lengths are given.
    static void data_put(DeflateWriter& writer, const std::vector<int>& distance_lengths) {
        const std::vector<int> literal = test_literal_lengths();
        const std::vector<std::uint32_t> codes = codes_of(literal);
        const std::vector<std::uint32_t> distance_codes = codes_of(distance_lengths);
        const auto symbol = [&](int s) {
            writer.code(codes[static_cast<std::size_t>(s)], literal[static_cast<std::size_t>(s)]);
        };
        const auto distance = [&](int d) {
            writer.code(distance_codes[static_cast<std::size_t>(d - 1)],
                        distance_lengths[static_cast<std::size_t>(d - 1)]);
        };
        symbol('a');
        symbol('b');
        symbol(258);
        distance(2);
        symbol('b');
        symbol(259);
        distance(1);
        symbol(256);
    }
    static constexpr const char* DATA_TEXT = "abababbbbbbb";
    static inline const std::vector<int> EIGHT_DISTANCES = std::vector<int>(8, 3);

    ScratchDirectory scratch;
};

// ---- stored blocks -------------------------------------------------------

TEST_F(DeflateDecTest, StoredBlocksOfLengthZeroAreAccepted) {
    const Inflated empty = inflate(DeflateWriter().stored_block(true, "").finish(), 0);
    EXPECT_EQ(empty.error, "");
    EXPECT_EQ(empty.output, "");
    EXPECT_EQ(empty.next_byte, NEXT_BYTE);

    const Inflated text = inflate(DeflateWriter().stored_block(false, "").stored_block(true, "abc").finish(), 3);
    EXPECT_EQ(text.error, "");
    EXPECT_EQ(text.output, "abc");
    EXPECT_EQ(text.next_byte, NEXT_BYTE);
}

TEST_F(DeflateDecTest, StoredBlockWithBadNlenIsIllegal) {
    ByteString stream = DeflateWriter().stored_block(true, "abc").finish();
    stream[4] = static_cast<char>(stream[4] ^ 0x01);  // NLEN high byte
    EXPECT_EQ(inflate(stream, 3).error, "illegal data.");
}

// ---- the end of an entry ------------------------------------------------

// An empty file as Python's zipfile and bsdtar store it: a final fixed
// block with only its end code, 03 00.
TEST_F(DeflateDecTest, EmptyFinalBlockIsAnEmptyFile) {
    const ByteString stream = DeflateWriter().header(true, 1).fixed_symbol(256).finish();
    ASSERT_EQ(stream, ByteString("\x03\x00", 2));
    const Inflated empty = inflate(stream, 0);
    EXPECT_EQ(empty.error, "");
    EXPECT_EQ(empty.output, "");
    EXPECT_EQ(empty.next_byte, NEXT_BYTE);
    // A size the stream does not deliver is still an error.
    EXPECT_EQ(inflate(stream, 5).error, FINISHED_EARLY);
}

TEST_F(DeflateDecTest, EntrySizeAndStreamEndMustAgree) {
    struct Case {
        const char* what;
        ByteString stream;
        std::int64_t size;
        const char* error;
        const char* output;
    };
    const std::vector<Case> cases = {
        {"exact", deflate_literals("abc"), 3, "", "abc"},
        {"stream ends before the size", deflate_literals("abc"), 5, FINISHED_EARLY, "abc"},
        {"stream runs on after the size", deflate_literals("abc"), 2, FINISHED_EARLY, "ab"},
        // The local header of a member with a data descriptor says 0: the
        // first byte already completes the entry and more follow.
        {"size 0 with data", deflate_literals("ab"), 0, FINISHED_EARLY, "a"},
        // Only the bytes up to the size are written; the end code follows.
        {"match cut by the size",
         DeflateWriter().header(true, 1).fixed_literals("a").fixed_short_match(10, 1).fixed_symbol(256).finish(), 5, "",
         "aaaaa"},
        {"overlapping match",
         DeflateWriter().header(true, 1).fixed_literals("xy").fixed_short_match(7, 2).fixed_symbol(256).finish(), 9, "",
         "xyxyxyxyx"},
    };
    for (const Case& c : cases) {
        const Inflated result = inflate(c.stream, c.size);
        EXPECT_EQ(result.error, c.error) << c.what;
        EXPECT_EQ(result.output, c.output) << c.what;
        if (*c.error == '\0') {
            EXPECT_EQ(result.next_byte, NEXT_BYTE) << c.what;
        }
    }
}

// ---- block sequences ----------------------------------------------------

// Stored, fixed and dynamic blocks share one window: the fixed block's
// match copies from the stored block, the dynamic block's from both.
TEST_F(DeflateDecTest, BlocksOfAllTypesShareTheWindow) {
    const std::vector<int> literal = test_literal_lengths();
    const std::vector<std::uint32_t> codes = codes_of(literal);
    DeflateWriter writer;
    writer.stored_block(false, "ab");
    writer.header(false, 1).fixed_short_match(4, 2).fixed_symbol(256);  // abab
    std::vector<std::pair<int, int>> sequence = literal_sequence_to_258();
    sequence.push_back({3, 0});  // 259
    sequence.push_back({1, 0});  // distance 1
    sequence.push_back({1, 0});  // distance 2
    DynamicBlock(260, 2, sequence).header_put(writer, true);
    // A match of 5 at distance 2 reaches back into the fixed block.
    writer.code(codes[259], 3).code(1, 1).code(codes[256], 2);
    const Inflated result = inflate(writer.finish(), 11);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.output, "abababababa");
    EXPECT_EQ(result.next_byte, NEXT_BYTE);
}

// ---- code lengths ---------------------------------------------------------

// The literal/length lengths end with 3, 3 (symbols 258 and 259) and the
// eight distance lengths are all 3: after the 3 of symbol 258 a repeat
// code 16 gives six more, for 259 and the first five distance lengths,
// and a second one the last three.
TEST_F(DeflateDecTest, RepeatMayCrossIntoTheDistanceLengths) {
    std::vector<std::pair<int, int>> sequence = literal_sequence_to_258();
    sequence.push_back({16, 3});
    sequence.push_back({16, 0});
    DeflateWriter writer;
    DynamicBlock(260, 8, sequence).header_put(writer, true);
    data_put(writer, EIGHT_DISTANCES);
    const Inflated result = inflate(writer.finish(), 12);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.output, DATA_TEXT);
    EXPECT_EQ(result.next_byte, NEXT_BYTE);
}

TEST_F(DeflateDecTest, IllegalCodeLengthSequencesAreRefused) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> sequence;
        const char* error;
    };
    std::vector<std::pair<int, int>> overrun = literal_sequence_to_258();
    overrun.push_back({17, 7});  // ten zeros where only three lengths are left
    const std::vector<Case> cases = {
        {"repeat first", {{16, 0}}, "DeflateDec: a code length repeat with no length before it.(illegal data.)"},
        {"run past HLIT + HDIST", overrun, "DeflateDec: code lengths run past HLIT + HDIST.(illegal data.)"},
    };
    for (const Case& c : cases) {
        DeflateWriter writer;
        DynamicBlock(260, 2, c.sequence).header_put(writer, true);
        writer.bits(0, 32);
        EXPECT_EQ(inflate(writer.finish(), 12).error, c.error) << c.what;
    }
}

// A block of literals only may say so with a single distance length of 0
// (RFC 1951, 3.2.7); a match in it is then illegal.
TEST_F(DeflateDecTest, BlockWithoutDistanceCodesHoldsLiteralsOnly) {
    std::vector<std::pair<int, int>> sequence = literal_sequence_to_258();
    sequence.push_back({3, 0});  // 259
    sequence.push_back({0, 0});  // the one distance length: none
    const std::vector<int> literal = test_literal_lengths();
    const std::vector<std::uint32_t> codes = codes_of(literal);

    DeflateWriter literals_only;
    DynamicBlock(260, 1, sequence).header_put(literals_only, true);
    literals_only.code(codes['b'], 2).code(codes['a'], 2).code(codes[256], 2);
    const Inflated ok = inflate(literals_only.finish(), 2);
    EXPECT_EQ(ok.error, "");
    EXPECT_EQ(ok.output, "ba");

    DeflateWriter with_match;
    DynamicBlock(260, 1, sequence).header_put(with_match, true);
    with_match.code(codes['b'], 2).code(codes[258], 3).bits(0, 16);
    EXPECT_EQ(inflate(with_match.finish(), 5).error,
              "distance_get: a match in a block without distance codes.(illegal data.)");
}

// One used distance code has a one-bit code, sent for every match.
TEST_F(DeflateDecTest, SingleDistanceCodeTakesOneBit) {
    std::vector<std::pair<int, int>> sequence = literal_sequence_to_258();
    sequence.push_back({3, 0});  // 259
    sequence.push_back({1, 0});  // distance 1: length 1
    sequence.push_back({0, 0});  // distance 2: no code
    const std::vector<int> literal = test_literal_lengths();
    const std::vector<std::uint32_t> codes = codes_of(literal);
    DeflateWriter writer;
    DynamicBlock(260, 2, sequence).header_put(writer, true);
    writer.code(codes['a'], 2).code(codes[258], 3).bits(0, 1).code(codes[259], 3).bits(0, 1).code(codes[256], 2);
    const Inflated result = inflate(writer.finish(), 10);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.output, "aaaaaaaaaa");
    EXPECT_EQ(result.next_byte, NEXT_BYTE);
}

// ---- header limits -----------------------------------------------------------

// A dynamic block may declare at most 286 literal/length and 30 distance
// codes, and its literal/length code must fill the code space (a single
// one-bit code excepted); the distance code may be incomplete. Each block
// holds "ab" when it is accepted.
TEST_F(DeflateDecTest, DynamicHeaderLimits) {
    struct Case {
        const char* what;
        int literal_count;
        int distance_count;
        std::vector<int> literal_lengths;  // for 'a', 'b' and 256
        const char* error;
    };
    const char* const HLIT_ERROR = "DeflateDec: HLIT is above 286 codes.(illegal data.)";
    const char* const HDIST_ERROR = "DeflateDec: HDIST is above 30 codes.(illegal data.)";
    const char* const INCOMPLETE = "DeflateDec: the literal/length code is incomplete.(illegal data.)";
    const std::vector<Case> cases = {
        {"286 and 30 codes", 286, 30, {1, 2, 2}, ""},
        {"287 literal/length codes", 287, 1, {1, 2, 2}, HLIT_ERROR},
        {"288 literal/length codes", 288, 1, {1, 2, 2}, HLIT_ERROR},
        {"31 distance codes", 257, 31, {1, 2, 2}, HDIST_ERROR},
        {"32 distance codes", 257, 32, {1, 2, 2}, HDIST_ERROR},
        {"three codes of two bits", 257, 1, {2, 2, 2}, INCOMPLETE},
        {"a one-bit and a two-bit code", 257, 1, {1, 0, 2}, INCOMPLETE},
    };
    for (const Case& c : cases) {
        std::vector<int> lengths(static_cast<std::size_t>(c.literal_count) + static_cast<std::size_t>(c.distance_count),
                                 0);
        lengths['a'] = c.literal_lengths[0];
        lengths['b'] = c.literal_lengths[1];
        lengths[256] = c.literal_lengths[2];
        lengths[static_cast<std::size_t>(c.literal_count)] = 1;  // one distance code
        std::vector<std::pair<int, int>> sequence;
        for (const int length : lengths) sequence.push_back({length, 0});
        DeflateWriter writer;
        DynamicBlock(c.literal_count, c.distance_count, sequence).header_put(writer, true);
        const std::vector<std::uint32_t> codes =
            codes_of(std::vector<int>(lengths.begin(), lengths.begin() + c.literal_count));
        for (const int symbol : {int{'a'}, int{'b'}, 256}) {
            const auto index = static_cast<std::size_t>(symbol);
            if (lengths[index] != 0) writer.code(codes[index], lengths[index]);
        }
        const Inflated result = inflate(writer.bits(0, 16).finish(), 2, false);
        EXPECT_EQ(result.error, c.error) << c.what;
        if (*c.error == '\0') {
            EXPECT_EQ(result.output, "ab") << c.what;
        }
    }
}

// A block with only its end code, as a single one-bit code: what an
// encoder writes for a last block left empty.
TEST_F(DeflateDecTest, SingleEndCodeOfOneBitIsAccepted) {
    std::vector<std::pair<int, int>> sequence = {{18, 138 - 11}, {18, 118 - 11}, {1, 0}, {0, 0}};
    DeflateWriter writer;
    writer.stored_block(false, "xy");
    DynamicBlock(257, 1, sequence).header_put(writer, true);
    writer.bits(0, 1);  // the end code
    const Inflated result = inflate(writer.finish(), 2);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.output, "xy");
    EXPECT_EQ(result.next_byte, NEXT_BYTE);
}

// ---- Deflate64 ------------------------------------------------------------------

// In Deflate64 length code 285 carries 16 extra bits (3 to 65538) and the
// distance codes 30 and 31 exist (14 extra bits, up to 65536). The same
// fixed-code bits read as Deflate are length 258 and then a distance code
// out of range.
TEST_F(DeflateDecTest, Deflate64LongMatchesAndFarDistances) {
    // 65536 bytes of history in two stored blocks, every byte different
    // from its neighbours within 251.
    ByteString history;
    for (int i = 0; i < 65536; ++i) history.push_back(static_cast<char>(i % 251));
    DeflateWriter writer;
    writer.stored_block(false, history.substr(0, 40000)).stored_block(false, history.substr(40000));
    writer.header(true, 1);
    // A match of 3 + 1000 at distance 65536: code 285 + 1000, code 31 + (65535 - 49152).
    writer.fixed_symbol(285).bits(1000, 16).code(31, 5).bits(65535 - 49152, 14);
    // A match of 5000 at distance 32769: code 285 + 4997, code 30 + 0.
    writer.fixed_symbol(285).bits(5000 - 3, 16).code(30, 5).bits(0, 14);
    writer.fixed_symbol(256);
    const ByteString stream = writer.finish();

    ByteString expected = history;
    for (int i = 0; i < 1003; ++i) expected.push_back(expected[expected.size() - 65536]);
    for (int i = 0; i < 5000; ++i) expected.push_back(expected[expected.size() - 32769]);
    const Inflated result = inflate_entry(stream, static_cast<std::int64_t>(expected.size()), scratch.root(), true,
                                          DeflateVariant::DEFLATE64);
    EXPECT_EQ(result.error, "");
    EXPECT_TRUE(result.output == expected) << result.output.size() << " bytes";
    EXPECT_EQ(result.next_byte, NEXT_BYTE);

    // Read as Deflate, 285 is 258 without extra bits, so the extra bits
    // are read as codes: the stream does not decode.
    EXPECT_NE(inflate(stream, static_cast<std::int64_t>(expected.size())).error, "");
    // Distance code 30 alone is out of range in Deflate.
    const ByteString far =
        DeflateWriter().stored_block(false, "abc").header(true, 1).fixed_symbol(257).code(30, 5).bits(0, 30).finish();
    EXPECT_EQ(inflate(far, 70000, false).error, "out of range.");
    // Deflate64 still has no length codes 286 and 287.
    EXPECT_EQ(inflate_entry(DeflateWriter().header(true, 1).fixed_literals("a").fixed_symbol(286).bits(0, 16).finish(),
                            9, scratch.root(), false, DeflateVariant::DEFLATE64)
                  .error,
              "out of range.");
}

// A dynamic Deflate64 block may declare 32 distance codes.
TEST_F(DeflateDecTest, Deflate64DeclaresThirtyTwoDistanceCodes) {
    std::vector<std::pair<int, int>> sequence;
    std::vector<int> lengths(257 + 32, 0);
    lengths['a'] = 1;
    lengths[256] = 1;
    lengths[257 + 31] = 1;
    for (const int length : lengths) sequence.push_back({length, 0});
    DeflateWriter writer;
    DynamicBlock(257, 32, sequence).header_put(writer, true);
    writer.code(0, 1).code(1, 1).bits(0, 16);  // 'a', end of block
    EXPECT_EQ(inflate_entry(writer.finish(), 1, scratch.root(), false, DeflateVariant::DEFLATE64).output, "a");
}

// ---- damaged data -----------------------------------------------------------

TEST_F(DeflateDecTest, DamagedDataEndsInAThrownText) {
    struct Case {
        const char* what;
        ByteString stream;
        const char* error;
    };
    DeflateWriter oversubscribed;
    oversubscribed.header(true, 2).bits(0, 5).bits(0, 5).bits(0, 4);
    for (int i = 0; i < 4; ++i) oversubscribed.bits(1, 3);  // four codes of one bit
    const std::vector<Case> cases = {
        {"block type 3", DeflateWriter().header(true, 3).bits(0, 16).finish(),
         "Outside of the support range.(illegal data.)"},
        {"no block after a non-final one", DeflateWriter().stored_block(false, "ab").finish(),
         "Outside of the support range.(illegal data.)"},
        {"length symbol 286",
         DeflateWriter().header(true, 1).fixed_literals("a").fixed_symbol(286).bits(0, 16).finish(), "out of range."},
        {"distance symbol 30",
         DeflateWriter().header(true, 1).fixed_literals("abcd").fixed_symbol(257).code(30, 5).bits(0, 16).finish(),
         "out of range."},
        // One byte exists, the match reaches back seven.
        {"distance before the first byte",
         DeflateWriter().header(true, 1).fixed_literals("A").fixed_symbol(257).code(5, 5).bits(0, 1).finish(),
         "decode_entry: a match reaches back before the entry's first byte.(illegal data.)"},
        {"over-subscribed code-length code", oversubscribed.bits(0, 32).finish(),
         "BitPatternTable: bit-pattern cannot be made."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(inflate(c.stream, 100, false).error, c.error) << c.what;
    }
}

// Every proper prefix of a stream of three block types fails with a text;
// none decodes, none hangs.
TEST_F(DeflateDecTest, TruncationAnywhereIsAnError) {
    DeflateWriter writer;
    writer.stored_block(false, "ab");
    writer.header(false, 1).fixed_short_match(4, 2).fixed_symbol(256);
    std::vector<std::pair<int, int>> sequence = literal_sequence_to_258();
    sequence.push_back({16, 3});
    sequence.push_back({16, 0});
    DynamicBlock(260, 8, sequence).header_put(writer, true);
    data_put(writer, EIGHT_DISTANCES);
    const ByteString stream = writer.finish();
    const std::string expected = std::string("ababab") + DATA_TEXT;
    ASSERT_EQ(inflate(stream, static_cast<std::int64_t>(expected.size())).output, expected);

    const fs::path input_path = scratch / "cut.bin";
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        write_file(input_path, stream.substr(0, cut));
        std::FILE* file = platform::open_file(wide_of(input_path), "rb");
        ASSERT_NE(file, nullptr);
        std::string error;
        {
            ZipBitInStream input(file);
            StagedFile output;
            ASSERT_TRUE(open_output(output, scratch / "cut.out"));
            try {
                DeflateDec decoder(input);
                ZipFileDecOutStream out(output.file(), static_cast<std::int64_t>(expected.size()));
                DecWindow().decode_entry(decoder, out);
            } catch (const char* message) {
                error = message;
            }
        }
        std::fclose(file);
        EXPECT_FALSE(error.empty()) << "cut after " << cut << " bytes";
    }
}

}  // namespace
