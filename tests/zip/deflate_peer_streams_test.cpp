// Proves the Deflate decoder on streams of other encoders: Python's zlib
// (raw, wbits -15) at every level, with the strategies that give stored,
// fixed and dynamic blocks and with sync flushes, made at build time by
// make_peer_data.py; and zopfli's streams, three of which have a code-length
// repeat that crosses from the literal/length into the distance lengths.
// Each decodes to its input and ends exactly where the stream ends. The
// members of 7-Zip's archives at levels 1 and 9 decode as Deflate, those of
// its Deflate64 archive as Deflate64, with matches farther than 32768
// among them. On all of these and on damaged copies, the copy loop gives
// what a byte-by-byte loop gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string_view>

#include "damaged_copies.h"
#include "header_bytes.h"
#include "zip_central_dir.h"
#include "zip_test_support.h"

namespace {

using namespace ziptest;

void expect_decodes_to(const fs::path& stream_path, const fs::path& input_path, const fs::path& scratch) {
    const ByteString input = read_file(input_path);
    const Inflated result = inflate_entry(read_file(stream_path), static_cast<std::int64_t>(input.size()), scratch);
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

// The Deflate and Deflate64 members of one of 7-Zip's archives, found
// through the central directory, and how many records it has.
struct DeflatedMember {
    std::string name;
    ByteString stream;
    std::int64_t size = 0;
    DeflateVariant variant = DeflateVariant::DEFLATE;
};
std::vector<DeflatedMember> deflated_members(const std::string& file, std::size_t* records = nullptr) {
    const ByteString archive = read_file(source_path("tests/fixtures/" + file));
    const ZipDirectory directory = zip_directory_read(archive.size(), [&](std::uint64_t offset, std::size_t length) {
        return archive.substr(static_cast<std::size_t>(offset), length);
    });
    if (records != nullptr) *records = directory.records.size();
    std::vector<DeflatedMember> members;
    for (const ZipCentralRecord& record : directory.records) {
        if (record.method != 8 && record.method != 9) continue;
        const coding::LeBytes local(archive, "local header beyond the archive");
        const auto at = static_cast<std::size_t>(record.local_offset);
        const std::size_t data = at + 30 + local.u16(at + 26) + local.u16(at + 28);
        members.push_back({record.name, archive.substr(data, static_cast<std::size_t>(record.compressed_size)),
                           static_cast<std::int64_t>(record.uncompressed_size),
                           record.method == 9 ? DeflateVariant::DEFLATE64 : DeflateVariant::DEFLATE});
    }
    return members;
}

// Each member decoded into a file of its size; CRC-32 and size must be the
// payload's.
TEST(DeflatePeerStreams, SevenZipMembersOfEveryLevelAndDeflate64) {
    ScratchDirectory scratch;
    for (const std::string file : {"zip-7z/mx1.zip", "zip-7z/mx9.zip", "zip-7z/deflate64.zip"}) {
        std::size_t records = 0;
        const std::vector<DeflatedMember> members = deflated_members(file, &records);
        for (const DeflatedMember& member : members) {
            SCOPED_TRACE(file + " " + member.name);
            const Inflated result = inflate_entry(member.stream, member.size, scratch.root(), true, member.variant);
            EXPECT_EQ(result.error, "");
            EXPECT_EQ(result.next_byte, NEXT_BYTE);
            EXPECT_EQ(result.output.size(), tree_manifest().at(member.name).size);
            EXPECT_EQ(crc32_of(result.output), tree_manifest().at(member.name).crc);
        }
        EXPECT_GT(members.size(), 2u);
        EXPECT_EQ(members.size() == records, file == "zip-7z/deflate64.zip");
    }
}

// The farthest distance in 7-Zip's Deflate64 data of data/binary.bin is
// what only Deflate64 can express. 7-Zip ends its Deflate64 matches at 257
// bytes, so the long matches of code 285 are proven on hand-made streams
// (deflate_dec_test).
TEST(DeflatePeerStreams, SevenZipDeflate64UsesItsLongCodes) {
    ScratchDirectory scratch;
    int longest = 0;
    int farthest = 0;
    for (const DeflatedMember& member : deflated_members("zip-7z/deflate64.zip")) {
        write_file(scratch / "member.bin", member.stream);
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

// ---- the copy loop against a byte loop -------------------------------------

constexpr const char* FINISHED_EARLY = "It finished on the way.";

// The copy loop as it was before its fast path: one symbol at a time
// through symbol_get and distance_get, each byte put out on its own from a
// history string.
void decode_by_symbols(DeflateDec& decoder, ZipFileDecOutStream& out) {
    ByteString history;
    const auto put = [&](int symbol) {
        if (symbol < DeflateDec::END_OF_BLOCK) {
            history += static_cast<char>(symbol);
            return out.put(static_cast<std::uint8_t>(symbol));
        }
        const auto distance = static_cast<std::size_t>(decoder.distance_get() + 1);
        if (distance < 1 || distance > history.size()) {
            throw "decode_entry: a match reaches back before the entry's first byte.(illegal data.)";
        }
        const std::int64_t left = out.expected_size - out.count;
        const std::int64_t length = left <= 0 ? 1 : std::min<std::int64_t>(left, symbol - DeflateDec::MATCH_BASE);
        bool complete = false;
        for (std::int64_t k = 0; k < length; ++k) {
            history += history[history.size() - distance];
            complete = out.put(static_cast<std::uint8_t>(history.back()));
        }
        return complete;
    };
    bool complete = false;
    if (out.expected_size <= 0) {
        const int first = decoder.symbol_get();
        if (first == -1) return;
        complete = put(first);
    }
    while (!complete) {
        const int symbol = decoder.symbol_get();
        if (symbol == -1) throw FINISHED_EARLY;
        complete = put(symbol);
    }
    if (decoder.symbol_get() != -1) throw FINISHED_EARLY;
}

// Intact streams at their entry size and one byte off it, and damaged
// copies: DecWindow writes the same bytes, ends at the same place and
// throws the same texts as the byte loop. zlib's streams of every level
// and strategy (one of them longer than what the copy loop decodes
// between two flushes) and 7-Zip's Deflate64 members.
TEST(DeflatePeerStreams, CopyLoopAgreesWithAByteLoop) {
    const auto rows = read_tsv(peer_data_path("streams.tsv"));
    if (rows.empty()) GTEST_SKIP() << "no peer data: make_peer_data.py did not run (python3 missing at build time)";
    std::vector<DeflatedMember> streams = deflated_members("zip-7z/deflate64.zip");
    // Matches of the longest length, followed by bytes that are no
    // symbols: the fast path ends exactly at the entry's size; and, 20
    // bytes past the window's area, right after the window moves its bytes.
    const auto longest_matches = [](int count, int short_ones) {
        DeflateWriter writer;
        writer.header(true, 1).fixed_literals("a");
        for (int k = 0; k < count; ++k) writer.fixed_symbol(285).code(0, 5);
        for (int k = 0; k < short_ones; ++k) writer.fixed_short_match(10, 1);
        return writer.fixed_symbol(256).finish() + ByteString(16, 'N');
    };
    streams.push_back({"longest matches", longest_matches(1000, 0), 1 + 258 * 1000});
    streams.push_back({"past the area", longest_matches(1016, 2), 1 + 258 * 1016 + 20});
    for (const auto& row : rows) {
        // Levels 2 to 5, 7 and 8 add nothing that 1, 6 and 9 do not have.
        const char level = row[0][row[0].rfind("-l") + 2];
        if (row[0].ends_with("-default.deflate") && std::string_view("234578").find(level) != std::string_view::npos) {
            continue;
        }
        const auto size = static_cast<std::int64_t>(fs::file_size(peer_data_path("streams/" + row[1])));
        streams.push_back({row[0], read_file(peer_data_path("streams/" + row[0])), size});
    }
    ScratchDirectory scratch;
    unsigned seed = 1;
    for (const DeflatedMember& s : streams) {
        std::vector<std::pair<ByteString, std::int64_t>> cases = {
            {s.stream, s.size}, {s.stream, s.size - 1}, {s.stream, s.size + 1}};
        for (ByteString& copy : test_common::damaged_copies(s.stream, 4, seed++))
            cases.emplace_back(std::move(copy), s.size);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const auto& [stream, size] = cases[i];
            const Inflated fast = inflate_entry(stream, size, scratch.root(), true, s.variant);
            const Inflated reference = inflate_entry(stream, size, scratch.root(), true, s.variant, decode_by_symbols);
            EXPECT_EQ(fast.error, reference.error) << s.name << " case " << i;
            EXPECT_TRUE(fast.output == reference.output) << s.name << " case " << i;
            EXPECT_EQ(fast.next_byte, reference.next_byte) << s.name << " case " << i;
        }
    }
}

}  // namespace
