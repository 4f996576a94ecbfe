// Proves the level-2 header writer: the exact bytes of a plain header and
// its CRC, the name records for Unicode and code-page storage, a
// directory's forms made once and reused, a header length that would begin
// with a zero byte, the time in seconds since 1970 with daylight saving
// settled by the C library, and that the reader gets every name back.
#include <gtest/gtest.h>

#include "archive_options.h"
#include "lzh_entry.h"
#include "lzh_head_dec.h"
#include "lzh_head_enc.h"
#include "lzh_test_support.h"

namespace {

using namespace lzh_test;
using lzh::LZHEntry;
using lzh::LZHHeadEnc;

LZHEntry file_entry(const WideString& name, const WideString& directory = u"") {
    LZHEntry entry;
    entry.method = "-lh5-";
    entry.compressed_size = 10;
    entry.original_size = 20;
    entry.time = DateRecord{2021, 7, 15, 12, 34, 56};
    entry.data_crc = 0xABCD;
    entry.name = name;
    entry.directory = directory;
    if (!directory.empty()) entry.parent = std::make_shared<lzh::DirectoryNode>(directory);
    return entry;
}

ByteString header_of(LZHEntry& entry) {
    const LZHHeadEnc header(entry, lzh::header_options_of_job());
    return ByteString(header.bytes.begin(), header.bytes.end());
}

// The records of a level-2 header: type and data, in order.
std::vector<Record> records_of(const ByteString& h) {
    std::vector<Record> records;
    std::size_t p = 24;
    for (;;) {
        const std::size_t size = static_cast<unsigned char>(h[p]) | static_cast<unsigned char>(h[p + 1]) << 8;
        if (size == 0) break;
        records.push_back({static_cast<unsigned char>(h[p + 2]), h.substr(p + 3, size - 3)});
        p += size;
    }
    return records;
}

class LzhHeadEnc : public LzhJobTest {
protected:
    // A creation job with these option bits, as LZHEncode sets it up.
    void start_creation(std::uint32_t flags, std::int32_t code_page = 0) {
        options.flags = flags;
        options.code_page = code_page;
        job_state().create_mode = true;
        ASSERT_TRUE(setup_job(&options));
    }

    TimeZone utc{"UTC0"};
};

TEST_F(LzhHeadEnc, PlainHeaderOfANameInNoDirectory) {
    LZHEntry entry = file_entry(u"a.txt");
    const ByteString h = header_of(entry);
    ASSERT_EQ(h.size(), 39u);
    EXPECT_EQ(h.substr(0, 2), le(39, 2));
    EXPECT_EQ(h.substr(2, 5), "-lh5-");
    EXPECT_EQ(h.substr(7, 4), le(10, 4));
    EXPECT_EQ(h.substr(11, 4), le(20, 4));
    EXPECT_EQ(h.substr(15, 4), le(1626352496, 4));
    EXPECT_EQ(h.substr(19, 2), bytes_of({0x20, 2}));
    EXPECT_EQ(h.substr(21, 2), le(0xABCD, 2));
    EXPECT_EQ(h[23], 'M');
    EXPECT_EQ(h.substr(24, 2), le(8, 2));
    EXPECT_EQ(h.substr(26, 8), "\x01"
                               "a.txt" +
                                   le(5, 2));
    EXPECT_EQ(h[34], '\0');
    EXPECT_EQ(h.substr(37, 2), le(0, 2));
    ByteString zeroed = h;
    zeroed[35] = zeroed[36] = '\0';
    EXPECT_EQ(h.substr(35, 2), le(crc16(zeroed), 2));
}

TEST_F(LzhHeadEnc, NameRecordsFollowTheStorageOfTheName) {
    struct Case {
        const char* what;
        std::uint32_t flags;
        std::int32_t code_page;
        std::vector<Record> expected;
    };
    const ByteString nihongo_utf16 = bytes_of({0xE5, 0x65, 0x2C, 0x67, 0x9E, 0x8A});
    const ByteString nihongo_sjis = bytes_of({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA});
    const ByteString crc_record(2, '\0');  // compared without its value
    const std::vector<Case> cases = {
        {"code page", OPT_CODEPAGE_SET, 932, {{0x01, nihongo_sjis}, {0x00, crc_record}}},
        {"code page with its record",
         OPT_CODEPAGE_SET | OPT_CODEPAGE_HEADER,
         932,
         {{0x01, nihongo_sjis}, {0x46, le(932, 4)}, {0x00, crc_record}}},
        {"code page with a short record",
         OPT_CODEPAGE_SET | OPT_CODEPAGE_HEADER | OPT_CODEPAGE_HEADER_SHORT,
         932,
         {{0x01, nihongo_sjis}, {0x46, le(932, 2)}, {0x00, crc_record}}},
        {"Unicode with an ASCII fallback",
         OPT_UNICODE_HEADER,
         0,
         {{0x01, "_e,g__"}, {0x44, nihongo_utf16}, {0x00, crc_record}}},
        {"Unicode beside the code page",
         OPT_UNICODE_HEADER | OPT_CODEPAGE_HEADER | OPT_CODEPAGE_SET,
         932,
         {{0x01, nihongo_sjis}, {0x46, le(932, 4)}, {0x44, nihongo_utf16}, {0x00, crc_record}}},
        // UTF-16 names: the Unicode record, little-endian and unmarked, and
        // the code-page form beside it (with its record only when asked).
        {"UTF-16",
         OPT_UTF16 | OPT_BIG_ENDIAN | OPT_BOM | OPT_CODEPAGE_SET,
         932,
         {{0x01, nihongo_sjis}, {0x44, nihongo_utf16}, {0x00, crc_record}}},
        {"UTF-16 with the code-page record",
         OPT_UTF16 | OPT_CODEPAGE_HEADER | OPT_CODEPAGE_SET,
         932,
         {{0x01, nihongo_sjis}, {0x46, le(932, 4)}, {0x44, nihongo_utf16}, {0x00, crc_record}}},
    };
    for (const Case& c : cases) {
        reset_job_state();
        start_creation(c.flags, c.code_page);
        LZHEntry entry = file_entry(u"日本語");
        std::vector<Record> records = records_of(header_of(entry));
        ASSERT_FALSE(records.empty()) << c.what;
        records.back().data = crc_record;
        ASSERT_EQ(records.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].type, c.expected[i].type) << c.what << " " << i;
            EXPECT_EQ(records[i].data, c.expected[i].data) << c.what << " " << i;
        }
    }
}

TEST_F(LzhHeadEnc, ADirectoryIsConvertedOnceForAllItsEntries) {
    start_creation(OPT_UNICODE_HEADER | OPT_REPORT);
    const auto node = std::make_shared<lzh::DirectoryNode>(u"ソース/sub/");
    LZHEntry first = file_entry(u"a.txt", u"ソース/sub/");
    first.parent = node;
    LZHEntry second = file_entry(u"b.txt", u"ソース/sub/");
    second.parent = node;
    const std::vector<Record> r1 = records_of(header_of(first));
    const WideString report_after_first = job_state().report_text;
    const std::vector<Record> r2 = records_of(header_of(second));

    const ByteString unicode =
        bytes_of({0xBD, 0x30, 0xFC, 0x30, 0xB9, 0x30, 0xFF, 0xFF, 's', 0, 'u', 0, 'b', 0, 0xFF, 0xFF});
    ASSERT_EQ(r1.size(), 4u);  // 0x01, 0x02, 0x45, 0x00
    EXPECT_EQ(r1[1].type, 0x02);
    EXPECT_EQ(r1[1].data, "_0_0_0\xFFsub\xFF");
    EXPECT_EQ(r1[2].type, 0x45);
    EXPECT_EQ(r1[2].data, unicode);
    EXPECT_TRUE(node->converted);
    EXPECT_EQ(node->unicode_form, unicode);
    ASSERT_EQ(r2.size(), 4u);
    EXPECT_EQ(r2[1].data, r1[1].data);
    EXPECT_EQ(r2[2].data, r1[2].data);
    // The second entry names the directory as one already converted.
    EXPECT_EQ(report_after_first.find(u"(dir,既出)"), WideString::npos);
    EXPECT_NE(job_state().report_text.find(u"└(dir,既出) ソース/sub/\n", report_after_first.size()), WideString::npos);
}

TEST_F(LzhHeadEnc, ALengthThatWouldStartWithAZeroByteGetsOneMore) {
    // 39 bytes for a five-character name; 256 needs a name of 222.
    LZHEntry entry = file_entry(WideString(222, u'n'));
    const ByteString h = header_of(entry);
    ASSERT_EQ(h.size(), 257u);
    EXPECT_EQ(h.substr(0, 2), le(257, 2));
    // The CRC record holds the CRC and a zero byte; the chain ends after it.
    EXPECT_EQ(h.substr(249, 3), le(6, 2) + bytes_of({0x00}));
    EXPECT_EQ(h.substr(254, 3), ByteString(3, '\0'));
    ByteString zeroed = h;
    zeroed[252] = zeroed[253] = '\0';
    EXPECT_EQ(h.substr(252, 2), le(crc16(zeroed), 2));

    // The reader takes it by its length and finds the next header after it.
    LZHEntry next = file_entry(u"next.txt");
    Scratch scratch("lzhenc");
    std::FILE* file = platform::open_file(scratch.archive("a.lzh", h + header_of(next)), "rb");
    {
        lzh::BitInStream reader(file);
        const ReadHead first(reader);
        EXPECT_EQ(first.name, WideString(222, u'n'));
        const ReadHead second(reader);
        EXPECT_EQ(second.name, u"next.txt");
    }
    std::fclose(file);
}

TEST_F(LzhHeadEnc, TimeIsTheLocalTimeAsSecondsSince1970) {
    // 12:34:56 in Berlin is 10:34:56 UTC in July (summer time) and 11:34:56
    // UTC in January.
    TimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    LZHEntry summer = file_entry(u"s");
    LZHEntry winter = file_entry(u"w");
    winter.time.month = 1;
    winter.time.day = 20;
    EXPECT_EQ(header_of(summer).substr(15, 4), le(1626345296, 4));
    EXPECT_EQ(header_of(winter).substr(15, 4), le(1611142496, 4));
}

TEST_F(LzhHeadEnc, TheReaderGetsTheNamesBack) {
    struct Case {
        std::uint32_t flags;
        std::int32_t code_page;
    };
    const std::vector<WideString> names = {u"a.txt", u"日本語.txt", u"表"};
    const std::vector<WideString> directories = {u"", u"docs/", u"ソース/サブ/"};
    for (const Case& c : std::vector<Case>{
             {0, 0}, {OPT_CODEPAGE_SET | OPT_CODEPAGE_HEADER, 932}, {OPT_UNICODE_HEADER, 0}, {OPT_UTF8, 0}}) {
        for (const WideString& directory : directories) {
            for (const WideString& name : names) {
                reset_job_state();
                start_creation(c.flags, c.code_page);
                LZHEntry entry = file_entry(name, directory);
                const ByteString h = header_of(entry);
                // Read back with the options a user would give for the same
                // storage (the code page, or UTF-8; the records speak for
                // themselves otherwise).
                reset_job_state();
                ArchiveOptions read_options;
                init_archive_options(read_options);
                read_options.flags = c.flags & (OPT_UTF8 | OPT_CODEPAGE_SET);
                read_options.code_page = c.flags & OPT_CODEPAGE_HEADER ? 0 : c.code_page;
                ASSERT_TRUE(setup_job(&read_options));
                Scratch scratch("lzhenc");
                std::FILE* file = platform::open_file(scratch.archive("a.lzh", h), "rb");
                lzh::BitInStream reader(file);
                const ReadHead head(reader);
                std::fclose(file);
                const bool representable = c.flags != 0 || (name == u"a.txt" && directory != u"ソース/サブ/");
                if (!representable) continue;  // no stored form for the cp1252 system
                EXPECT_EQ(head.directory + head.name, directory + name) << c.flags << " " << utf8(directory + name);
            }
        }
    }
}

}  // namespace

namespace {

TEST(LzhEntry, FromAPathOnDisk) {
    lzh_test::TimeZone utc("UTC0");
    lzh_test::Scratch scratch("lzhentry");
    std::filesystem::create_directories(scratch.at(u"d/e"));
    scratch.make_file(u"d/x.txt", "12345");
    ASSERT_TRUE(platform::set_file_time(scratch.dest_wide() + u"/d/x.txt", 1626352496));

    const lzh::LZHEntry file(u"d/x.txt");
    EXPECT_EQ(file.original_size, 5);
    EXPECT_EQ(file.compressed_size, 5);
    EXPECT_EQ(file.directory, u"d/");
    EXPECT_EQ(file.name, u"x.txt");
    EXPECT_EQ((std::vector<int>{file.time.year, file.time.month, file.time.day, file.time.hour, file.time.minute,
                                file.time.second}),
              (std::vector<int>{2021, 7, 15, 12, 34, 56}));
    EXPECT_EQ(file.method, "-lh0-");
    EXPECT_EQ(file.os_id, 0x4D);

    // A directory's own record: its whole path as the directory part.
    const lzh::LZHEntry directory(u"d/e");
    EXPECT_TRUE(directory.is_directory());
    EXPECT_EQ(directory.directory, u"d/e/");
    EXPECT_EQ(directory.name, u"");
    const lzh::LZHEntry top(u"d");
    EXPECT_EQ(top.directory, u"d/");

    const lzh::LZHEntry missing(u"missing.txt");
    EXPECT_TRUE(missing.is_missing());
    EXPECT_EQ(missing.name, u"");
    EXPECT_EQ(missing.time.year, 1900);
}

}  // namespace
