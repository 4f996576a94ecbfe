// Proves the Deflate decoder on streams of other encoders: Python's zlib
// (raw, wbits -15) at every level, with the strategies that give stored,
// fixed and dynamic blocks and with sync flushes, made at build time by
// make_peer_data.py; and zopfli's streams, three of which have a code-length
// repeat that crosses from the literal/length into the distance lengths.
// Each decodes to its input and ends exactly where the stream ends. The
// members of 7-Zip's archives at levels 1 and 9 decode as Deflate, those of
// its Deflate64 archive as Deflate64, with matches farther than 32768
// among them.
#include <gtest/gtest.h>

#include <set>

#include "header_bytes.h"
#include "zip_central_dir.h"
#include "zip_test_support.h"

namespace {

using namespace ziptest;

void expect_decodes_to(const fs::path& stream_path, const fs::path& input_path, const fs::path& scratch) {
    const ByteString input = read_file(input_path);
    const Inflated result =
        inflate_entry(read_file(stream_path), static_cast<std::int64_t>(input.size()), scratch);
    EXPECT_EQ(result.error, "") << stream_path;
    EXPECT_TRUE(result.output == input) << stream_path << ": " << result.output.size() << " bytes, want "
                                        << input.size();
    EXPECT_EQ(result.next_byte, NEXT_BYTE) << stream_path;
}

TEST(DeflatePeerStreams, ZlibStreamsOfEveryLevelAndStrategy) {
    const auto rows = read_tsv(peer_data_path("streams.tsv"));
    if (rows.empty()) GTEST_SKIP() << "no peer data: make_peer_data.py did not run (python3 missing at build time)";
    ScratchDirectory scratch;
    std::set<std::string> first_block_types;
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 3u);
        expect_decodes_to(peer_data_path("streams/" + row[0]), peer_data_path("streams/" + row[1]), scratch.root());
        first_block_types.insert(row[2]);
    }
    // Stored (0), fixed (1) and dynamic (2) blocks all came up.
    EXPECT_EQ(first_block_types, (std::set<std::string>{"0", "1", "2"}));
}

TEST(DeflatePeerStreams, ZopfliStreamsWithCrossingRepeats) {
    ScratchDirectory scratch;
    for (const char* name : {"cross1", "cross2", "cross3", "nocross1"}) {
        expect_decodes_to(source_path(std::string("tests/fixtures/zopfli/") + name + ".deflate"),
                          source_path(std::string("tests/fixtures/zopfli/") + name + ".txt"), scratch.root());
    }
}

// The members' data found through the central directory, each decoded
// into a file of its size; CRC-32 and size must be the payload's.
TEST(DeflatePeerStreams, SevenZipMembersOfEveryLevelAndDeflate64) {
    ScratchDirectory scratch;
    for (const char* file : {"zip-7z/mx1.zip", "zip-7z/mx9.zip", "zip-7z/deflate64.zip"}) {
        const ByteString archive = read_file(source_path(std::string("tests/fixtures/") + file));
        const ZipDirectory directory = zip_directory_read(archive.size(), [&](std::uint64_t offset, std::size_t length) {
            return archive.substr(static_cast<std::size_t>(offset), length);
        });
        int deflated = 0;
        for (const ZipCentralRecord& record : directory.records) {
            if (record.method != 8 && record.method != 9) continue;
            SCOPED_TRACE(std::string(file) + " " + record.name);
            ++deflated;
            const coding::LeBytes local(archive, "local header beyond the archive");
            const auto at = static_cast<std::size_t>(record.local_offset);
            const std::size_t data = at + 30 + local.u16(at + 26) + local.u16(at + 28);
            const ByteString stream = archive.substr(data, static_cast<std::size_t>(record.compressed_size));
            const DeflateVariant variant = record.method == 9 ? DeflateVariant::DEFLATE64 : DeflateVariant::DEFLATE;
            const Inflated result =
                inflate_entry(stream, static_cast<std::int64_t>(record.uncompressed_size), scratch.root(), true, variant);
            EXPECT_EQ(result.error, "");
            EXPECT_EQ(result.next_byte, NEXT_BYTE);
            EXPECT_EQ(result.output.size(), tree_manifest().at(record.name).size);
            EXPECT_EQ(crc32_of(result.output), tree_manifest().at(record.name).crc);
        }
        EXPECT_GT(deflated, 2);
        EXPECT_EQ(deflated == static_cast<int>(directory.records.size()), std::string(file) == "zip-7z/deflate64.zip");
    }
}

// The farthest distance in 7-Zip's Deflate64 data of data/binary.bin is
// what only Deflate64 can express. 7-Zip ends its Deflate64 matches at 257
// bytes, so the long matches of code 285 are proven on hand-made streams
// (deflate_dec_test).
TEST(DeflatePeerStreams, SevenZipDeflate64UsesItsLongCodes) {
    ScratchDirectory scratch;
    const ByteString archive = read_file(source_path("tests/fixtures/zip-7z/deflate64.zip"));
    const ZipDirectory directory = zip_directory_read(archive.size(), [&](std::uint64_t offset, std::size_t length) {
        return archive.substr(static_cast<std::size_t>(offset), length);
    });
    int longest = 0;
    int farthest = 0;
    for (const ZipCentralRecord& record : directory.records) {
        const coding::LeBytes local(archive, "local header beyond the archive");
        const auto at = static_cast<std::size_t>(record.local_offset);
        const std::size_t data = at + 30 + local.u16(at + 26) + local.u16(at + 28);
        write_file(scratch / "member.bin", archive.substr(data, static_cast<std::size_t>(record.compressed_size)));
        std::FILE* file = platform::open_file(wide_of(scratch / "member.bin"), "rb");
        ASSERT_NE(file, nullptr);
        {
            ZipBitInStream input(file);
            DeflateDec decoder(input, DeflateVariant::DEFLATE64);
            for (int symbol; (symbol = decoder.symbol_get()) != -1;) {
                if (symbol < DeflateDec::MATCH_BASE) continue;
                longest = std::max(longest, symbol - DeflateDec::MATCH_BASE);
                farthest = std::max(farthest, decoder.distance_get() + 1);
            }
        }
        std::fclose(file);
    }
    EXPECT_EQ(longest, 257);
    EXPECT_GT(farthest, 32768);
}

}  // namespace
