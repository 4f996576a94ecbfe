// Proves what the encoder tells its caller about the input: the CRC-32 of
// the bytes read, their number, a read error of the source, and a source
// that holds more than the caller's limit (then exactly the first limit
// bytes are compressed and covered by the CRC). The creation driver relies
// on these to notice files that changed, failed or are too large.
#include <gtest/gtest.h>

#include <string>

#include "byte_corpus.h"
#include "deflate_test_support.h"

namespace {

template <class Encoder>
class DeflateSourceTest : public ::testing::Test {};

using Forms = ::testing::Types<DeflateEnc, DeflateEncReference>;
TYPED_TEST_SUITE(DeflateSourceTest, Forms);

TYPED_TEST(DeflateSourceTest, CrcAndCountOfTheBytesRead) {
    struct Case {
        std::string text;
        std::uint32_t crc32;
    };
    const std::vector<Case> cases = {
        {"", 0x00000000}, {"abc", 0x352441C2}, {"123456789", 0xCBF43926},  // the published check value of CRC-32
    };
    for (const Case& c : cases) {
        const Encoded encoded = encode_with<TypeParam>(Bytes(c.text.begin(), c.text.end()));
        EXPECT_EQ(encoded.crc32, c.crc32) << c.text;
        EXPECT_EQ(encoded.bytes_read, static_cast<std::int64_t>(c.text.size())) << c.text;
        EXPECT_FALSE(encoded.read_failed);
        EXPECT_FALSE(encoded.over_limit);
        ZlibOracle::instance().queue("crc_" + c.text, encoded.bytes, Bytes(c.text.begin(), c.text.end()));
    }
}

TYPED_TEST(DeflateSourceTest, LimitStopsTheInputAndIsReported) {
    const Bytes input = corpus::text_bytes(100000, 3);
    struct Case {
        std::int64_t limit;
        std::int64_t read;
        bool over;
    };
    for (const Case& c : {Case{0, 0, true}, Case{40000, 40000, true}, Case{99999, 99999, true},
                          Case{100000, 100000, false}, Case{100001, 100000, false}}) {
        SourceFile source(input);
        const Encoded encoded = encode_file<TypeParam>(source.get(), DeflateBlockEnc::BUFFER_ENTRIES, c.limit);
        EXPECT_EQ(encoded.bytes_read, c.read) << c.limit;
        EXPECT_EQ(encoded.over_limit, c.over) << c.limit;
        const Bytes prefix(input.begin(), input.begin() + c.read);
        EXPECT_TRUE(parse_deflate(encoded.bytes).output == prefix) << c.limit;
        coding::CrcTable32 crc;
        crc.update(prefix.data(), prefix.size());
        EXPECT_EQ(encoded.crc32, ~crc.value) << c.limit;
        ZlibOracle::instance().queue("limit_" + std::to_string(c.limit), encoded.bytes, prefix);
    }
}

TYPED_TEST(DeflateSourceTest, ReadErrorIsReported) {
    // A stream open for writing only cannot be read: the read fails, and
    // the encoder reports it with what it read (nothing).
    SourceFile file(Bytes{1, 2, 3});
    std::FILE* write_only = std::fopen(file.path().c_str(), "ab");
    ASSERT_NE(write_only, nullptr);
    const Encoded encoded = encode_file<TypeParam>(write_only);
    std::fclose(write_only);
    EXPECT_TRUE(encoded.read_failed);
    EXPECT_EQ(encoded.bytes_read, 0);
    EXPECT_TRUE(parse_deflate(encoded.bytes).output.empty());
    ZlibOracle::instance().queue("read_error", encoded.bytes, {});
}

TYPED_TEST(DeflateSourceTest, NullSourceReadsAsEmpty) {
    const Encoded encoded = encode_file<TypeParam>(nullptr);
    EXPECT_EQ(encoded.bytes_read, 0);
    EXPECT_FALSE(encoded.read_failed);
    EXPECT_EQ(encoded.crc32, 0u);
    EXPECT_TRUE(parse_deflate(encoded.bytes).output.empty());
    ZlibOracle::instance().queue("null_source", encoded.bytes, {});
}

TYPED_TEST(DeflateSourceTest, ReadsFromTheCurrentPosition) {
    // The driver hands over an open stream; whatever it consumed already is
    // not part of the data.
    const Bytes input = corpus::text_bytes(5000, 9);
    SourceFile source(input);
    ASSERT_EQ(std::fseek(source.get(), 1000, SEEK_SET), 0);
    const Encoded encoded = encode_file<TypeParam>(source.get());
    EXPECT_EQ(encoded.bytes_read, 4000);
    const Bytes rest(input.begin() + 1000, input.end());
    EXPECT_TRUE(parse_deflate(encoded.bytes).output == rest);
    ZlibOracle::instance().queue("current_position", encoded.bytes, rest);
}

}  // namespace
