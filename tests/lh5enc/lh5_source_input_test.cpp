// Proves what the encoder tells its caller about the source it read: the
// CRC-16 and the number of the bytes read (so that a file that changed its
// size since it was listed shows), a read error (which ends the input like
// its end, but is reported), reading from the stream's current position,
// and a null source read as empty; the same with both forms of the search.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "lh5_enc.h"
#include "lh5_reference_decoder.h"
#include "lh5_test_support.h"

using lh5_test::Bytes;
using lzh::LH5MatchFinder;

namespace {

const LH5MatchFinder BOTH[] = {LH5MatchFinder::REFERENCE, LH5MatchFinder::FAST};

TEST(Lh5SourceInput, CrcAndCountCoverEveryByteRead) {
    for (const std::size_t size : {1u, 2u, 3u, 16128u, 70000u}) {
        const Bytes input = lh5_test::text_like(size, static_cast<std::uint32_t>(size));
        for (const LH5MatchFinder finder : BOTH) {
            const auto out = lh5_test::compress(input, finder);
            EXPECT_EQ(out.result.bytes_read, static_cast<std::int64_t>(size));
            EXPECT_EQ(out.result.crc, lh5_test::crc16(input));
            EXPECT_FALSE(out.result.read_error);
        }
    }
    // The check value of CRC-16/ARC.
    EXPECT_EQ(lh5_test::compress(Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'}).result.crc, 0xBB3D);
}

// The encoder starts where the stream stands and reads to its end; the
// count says how much that was, and the encoder object keeps the figures.
TEST(Lh5SourceInput, ReadsFromTheCurrentPositionToTheEnd) {
    const Bytes input = lh5_test::text_like(5000, 3);
    const lh5_test::TempFile file(input);
    for (const LH5MatchFinder finder : BOTH) {
        std::FILE* source = std::fopen(file.path().c_str(), "rb");
        ASSERT_NE(source, nullptr);
        ASSERT_EQ(std::fseek(source, 1000, SEEK_SET), 0);
        std::vector<std::uint8_t> data;
        lzh::LzhBitOutStream bits(data);
        lzh::LH5Enc encoder(finder);
        {
            lzh::LH5BlockEnc blocks(bits);
            encoder.compress(source, blocks);
            blocks.finish();
        }
        bits.flush();
        std::fclose(source);
        const Bytes tail(input.begin() + 1000, input.end());
        EXPECT_EQ(encoder.bytes_read(), 4000);
        EXPECT_EQ(encoder.crc.value, lh5_test::crc16(tail));
        EXPECT_FALSE(encoder.read_error());
        EXPECT_EQ(lh5_test::decode(data, tail.size()).bytes, tail);
    }
}

// A file that shrank or grew after it was listed: the caller compares the
// count with the size it expected.
TEST(Lh5SourceInput, CountShowsAChangedSize) {
    const lh5_test::TempFile file(lh5_test::text_like(9000, 4));
    const auto listed_size = static_cast<std::int64_t>(std::filesystem::file_size(file.path()));
    std::filesystem::resize_file(file.path(), 6000);
    std::FILE* source = std::fopen(file.path().c_str(), "rb");
    ASSERT_NE(source, nullptr);
    std::vector<std::uint8_t> data;
    const lzh::LH5Result result = lzh::lh5_compress(source, data);
    std::fclose(source);
    EXPECT_EQ(result.bytes_read, 6000);
    EXPECT_NE(result.bytes_read, listed_size);
}

TEST(Lh5SourceInput, NullSourceIsEmpty) {
    for (const LH5MatchFinder finder : BOTH) {
        std::vector<std::uint8_t> data;
        const lzh::LH5Result result = lzh::lh5_compress(nullptr, data, finder);
        EXPECT_TRUE(data.empty());
        EXPECT_EQ(result.bytes_read, 0);
        EXPECT_EQ(result.crc, 0);
        EXPECT_FALSE(result.read_error);
    }
}

// On Linux a directory opens as a stream whose every read fails: the input
// ends at once and the failure is reported, not taken for an empty file.
TEST(Lh5SourceInput, ReadErrorIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "a directory does not open as a stream on Windows";
#else
    const std::filesystem::path dir = "lh5enc_read_error_dir";
    std::filesystem::create_directories(dir);
    for (const LH5MatchFinder finder : BOTH) {
        std::FILE* source = std::fopen(dir.string().c_str(), "rb");
        if (source == nullptr) GTEST_SKIP() << "this C library does not open directories";
        std::vector<std::uint8_t> data;
        const lzh::LH5Result result = lzh::lh5_compress(source, data, finder);
        std::fclose(source);
        EXPECT_TRUE(result.read_error);
        EXPECT_EQ(result.bytes_read, 0);
        EXPECT_TRUE(data.empty());
    }
    std::filesystem::remove(dir);
#endif
}

}  // namespace
