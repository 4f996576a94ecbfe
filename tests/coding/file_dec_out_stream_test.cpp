// Proves FileDecOutStream: every byte reaches the file and the CRC, put
// reports finished exactly when the expected size is reached (and still
// writes that byte), a run of bytes goes out like its bytes one by one,
// sizes beyond 2 GiB are not cut short, a missing output
// is refused with its text, a failed write is told, and a held prefix is
// written or left out as its check says; all of it also when a large
// entry's runs are written behind on the second thread, where they are
// also folded into the CRC.
#include "file_dec_out_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "coding_test_files.h"
#include "crc_table.h"

using coding::CrcTable16;
using coding::CrcTable32;
using coding::FileDecOutStream;
using coding::WriteBehind;

namespace {

std::string output_path(const char* tag) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string("coding_") + info->name() + "_" + tag + ".out";
}

TEST(FileDecOutStream, WritesCountsAndReportsTheEnd) {
    const std::string path = output_path("abc");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    {
        FileDecOutStream<CrcTable32> out(file, 3);
        EXPECT_FALSE(out.put('a'));
        EXPECT_FALSE(out.put('b'));
        EXPECT_TRUE(out.put('c'));  // count 3 = expected size
        EXPECT_TRUE(out.put('d'));  // still written, still finished
        EXPECT_EQ(out.count, 4);
        EXPECT_FALSE(out.write_failed());
        std::fclose(file);
        // The register is read after the file is closed.
        CrcTable32 abcd;
        for (const char c : std::string("abcd")) abcd.update(static_cast<std::uint8_t>(c));
        EXPECT_EQ(out.crc.value, abcd.value);
    }
    EXPECT_EQ(read_whole_file(path), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd'}));
    std::remove(path.c_str());
}

TEST(FileDecOutStream, ARunGoesOutLikeItsBytesOneByOne) {
    std::vector<std::uint8_t> data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 13);
    const std::string path = output_path("run");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    FileDecOutStream<CrcTable16> runs(file, 1000);
    CrcTable16 bytes;
    bytes.update(5);
    EXPECT_FALSE(runs.put(5));
    EXPECT_FALSE(runs.put(data.data(), 0));
    EXPECT_FALSE(runs.put(data.data(), 998));     // 999 of 1000
    EXPECT_TRUE(runs.put(data.data() + 998, 2));  // past the size: all written
    std::fclose(file);
    for (const std::uint8_t b : data) bytes.update(b);
    EXPECT_EQ(runs.count, 1001);
    EXPECT_EQ(runs.crc.value, bytes.value);
    data.insert(data.begin(), 5);
    EXPECT_EQ(read_whole_file(path), data);
    std::remove(path.c_str());
}

TEST(FileDecOutStream, SizeZeroFinishesAtTheFirstByteAndEmptyKeepsTheInitialRegister) {
    const std::string path = output_path("zero");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    {
        FileDecOutStream<CrcTable16> untouched(file, 0);
        EXPECT_EQ(untouched.crc.value, 0);
        FileDecOutStream<CrcTable32> empty(file, 0);
        EXPECT_EQ(empty.crc.value ^ 0xFFFFFFFFu, 0u);

        FileDecOutStream<CrcTable16> out(file, 0);
        EXPECT_TRUE(out.put(0x5A));
        std::fclose(file);
    }
    EXPECT_EQ(read_whole_file(path), std::vector<std::uint8_t>{0x5A});
    std::remove(path.c_str());
}

TEST(FileDecOutStream, LargeSizesAreNotCutShort) {
    const std::string path = output_path("large");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    // 3 GiB, as a 32-bit size field may hold: far from finished after a byte.
    FileDecOutStream<CrcTable16> out(file, std::int64_t{3} << 30);
    EXPECT_FALSE(out.put(1));
    std::fclose(file);
    std::remove(path.c_str());
}

TEST(FileDecOutStream, RefusesAMissingOutputAndTellsFailedWrites) {
    EXPECT_EQ(thrown_text([] { FileDecOutStream<CrcTable16>(nullptr, 10); }), "FileDecOutStream: file open error.");
    // A file open for reading only: every write fails.
    InputFile read_only({1, 2, 3});
    FileDecOutStream<CrcTable32> out(read_only.get(), 2);
    EXPECT_FALSE(out.put(9));
    EXPECT_TRUE(out.write_failed());
    FileDecOutStream<CrcTable32> run(read_only.get(), 4);
    const std::uint8_t bytes[] = {1, 2};
    EXPECT_FALSE(run.put(bytes, 2));
    EXPECT_TRUE(run.write_failed());
}

// A held prefix of 4 bytes whose first byte says what becomes of it: 'K'
// keeps everything, a digit n leaves the prefix out and writes the n bytes
// after it. Byte by byte or in runs split anywhere, the file is the same,
// and the CRC and the count cover every byte put.
std::int64_t digit_check(const void*, const std::uint8_t* prefix, std::size_t) {
    return prefix[0] == 'K' ? FileDecOutStream<CrcTable16>::KEEP_ALL : prefix[0] - '0';
}

TEST(FileDecOutStream, AHeldPrefixIsWrittenOrLeftOutWithWhatItSays) {
    // data, then what is written; "Kab" ends inside the prefix.
    const char* cases[][2] = {
        {"Kabcdefgh", "Kabcdefgh"}, {"3xyzabcdefgh", "abc"}, {"0xyzabcdefgh", ""}, {"9xyzabc", "abc"}, {"Kab", ""}};
    for (const auto& [data, written] : cases) {
        const std::string text = data;
        for (std::size_t split = 0; split <= text.size(); ++split) {  // 0: byte by byte
            SCOPED_TRACE(text + " split at " + std::to_string(split));
            const std::string path = output_path("held");
            std::FILE* file = std::fopen(path.c_str(), "wb");
            ASSERT_NE(file, nullptr);
            FileDecOutStream<CrcTable16> out(file, static_cast<std::int64_t>(text.size()));
            out.hold_prefix(4, digit_check, nullptr);
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
            if (split == 0) {
                for (std::size_t i = 0; i < text.size(); ++i) out.put(bytes[i]);
            } else {
                out.put(bytes, split);
                out.put(bytes + split, text.size() - split);
            }
            std::fclose(file);
            CrcTable16 all;
            all.update(bytes, text.size());
            EXPECT_EQ(out.crc.value, all.value);
            EXPECT_EQ(out.count, static_cast<std::int64_t>(text.size()));
            const std::string expected = written;
            EXPECT_EQ(read_whole_file(path), std::vector<std::uint8_t>(expected.begin(), expected.end()));
            std::remove(path.c_str());
        }
    }
}

// Entries large enough to be written behind, one after the other through
// one WriteBehind: runs of every size, single bytes between them and a held
// prefix reach each file in order, and a failed write is told once settled.
TEST(FileDecOutStream, RunsWrittenBehindReachTheFileInOrder) {
    constexpr std::int64_t SIZE = FileDecOutStream<CrcTable32>::WRITE_BEHIND_FROM * 3;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(SIZE));
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31 + i / 251);
    data[0] = 'K';  // the held prefix keeps everything
    WriteBehind behind;
    for (const std::size_t run : {std::size_t{1000}, std::size_t{65536}, std::size_t{300001}}) {
        SCOPED_TRACE(run);
        const std::string path = output_path("behind");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        {
            FileDecOutStream<CrcTable32> out(file, SIZE, &behind);
            out.hold_prefix(4, digit_check, nullptr);
            std::size_t at = 0;
            while (at < data.size()) {
                const std::size_t n = std::min(run, data.size() - at);
                out.put(data.data() + at, n);
                at += n;
                if (at < data.size()) out.put(data[at++]);
            }
            out.settle();
            EXPECT_FALSE(out.write_failed());
            CrcTable32 all;
            all.update(data.data(), data.size());
            EXPECT_EQ(out.crc.value, all.value);
        }
        std::fclose(file);
        EXPECT_EQ(read_whole_file(path), data);
        std::remove(path.c_str());
    }
    // A failed write still leaves the CRC of every byte handed over.
    InputFile read_only({1, 2, 3});
    FileDecOutStream<CrcTable32> out(read_only.get(), SIZE, &behind);
    out.put(data.data(), data.size());
    out.settle();
    EXPECT_TRUE(out.write_failed());
    CrcTable32 all;
    all.update(data.data(), data.size());
    EXPECT_EQ(out.crc.value, all.value);
}

// Runs of two entries queued on one WriteBehind in turn: each run is folded
// into its own entry's CRC and written to its own file, in order.
TEST(FileDecOutStream, RunsOfTwoEntriesWrittenBehindKeepTheirOwnCrc) {
    constexpr std::int64_t SIZE = FileDecOutStream<CrcTable16>::WRITE_BEHIND_FROM * 2;
    constexpr std::size_t RUN = 70000;
    std::vector<std::uint8_t> first(static_cast<std::size_t>(SIZE));
    std::vector<std::uint8_t> second(first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        first[i] = static_cast<std::uint8_t>(i * 7 + i / 509);
        second[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    WriteBehind behind;
    const std::string first_path = output_path("first");
    const std::string second_path = output_path("second");
    std::FILE* first_file = std::fopen(first_path.c_str(), "wb");
    std::FILE* second_file = std::fopen(second_path.c_str(), "wb");
    ASSERT_NE(first_file, nullptr);
    ASSERT_NE(second_file, nullptr);
    {
        FileDecOutStream<CrcTable16> a(first_file, SIZE, &behind);
        FileDecOutStream<CrcTable16> b(second_file, SIZE, &behind);
        for (std::size_t at = 0; at < first.size(); at += RUN) {
            const std::size_t n = std::min(RUN, first.size() - at);
            a.put(first.data() + at, n);
            b.put(second.data() + at, 0);  // an empty run changes nothing
            b.put(second.data() + at, n);
        }
        a.settle();
        b.settle();
        CrcTable16 first_crc;
        CrcTable16 second_crc;
        first_crc.update(first.data(), first.size());
        second_crc.update(second.data(), second.size());
        EXPECT_EQ(a.crc.value, first_crc.value);
        EXPECT_EQ(b.crc.value, second_crc.value);
    }
    std::fclose(first_file);
    std::fclose(second_file);
    EXPECT_EQ(read_whole_file(first_path), first);
    EXPECT_EQ(read_whole_file(second_path), second);
    std::remove(first_path.c_str());
    std::remove(second_path.c_str());
}

}  // namespace
