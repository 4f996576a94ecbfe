// Proves the Deflate decoder on streams of other encoders: Python's zlib
// (raw, wbits -15) at every level, with the strategies that give stored,
// fixed and dynamic blocks and with sync flushes, made at build time by
// make_peer_data.py; and zopfli's streams, three of which have a code-length
// repeat that crosses from the literal/length into the distance lengths.
// Each decodes to its input and ends exactly where the stream ends.
#include <gtest/gtest.h>

#include <set>

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

}  // namespace
