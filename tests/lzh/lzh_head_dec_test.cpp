// Proves the LZH header reader over every level and extended record: the
// fields, the names and directories (split at "/", 0xFF separators in
// directory records, Unicode and code-page records), the stream left at the
// entry's data, level-1 extended headers counted in the compressed size,
// the end mark, and the clear errors for truncated and contradictory
// headers.
#include <gtest/gtest.h>

#include "archive_options.h"
#include "lzh_head_dec.h"
#include "lzh_test_support.h"

namespace {

using namespace lzh_test;

// Headers read one after another from the bytes of an archive.
class HeaderStream {
public:
    explicit HeaderStream(const ByteString& bytes) {
        file_ = platform::open_file(scratch_.archive("a.lzh", bytes), "rb");
        reader_.emplace(file_, 5);  // small read blocks cross often
    }
    ~HeaderStream() {
        reader_.reset();
        std::fclose(file_);
    }
    lzh::BitInStream& reader() { return *reader_; }

private:
    Scratch scratch_{"lzhhead"};
    std::FILE* file_ = nullptr;
    std::optional<lzh::BitInStream> reader_;
};

std::string thrown_reading(const ByteString& bytes) {
    HeaderStream stream(bytes);
    try {
        ReadHead head(stream.reader());
    } catch (const char* text) {
        return text;
    }
    return "";
}

class LzhHeadDec : public LzhJobTest {
protected:
    // The job as the export sets it up, with these option bits.
    void start_job(std::uint32_t flags, std::int32_t code_page = 0) {
        options.flags = flags;
        options.code_page = code_page;
        ASSERT_TRUE(setup_job(&options));
    }

    TimeZone utc{"UTC0"};
};

const ByteString SJIS_NIHONGO = bytes_of({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA});  // 日本語
const ByteString SJIS_SOURCE = bytes_of({0x83, 0x5C, 0x81, 0x5B, 0x83, 0x58});   // ソース
const ByteString SJIS_HYOU = bytes_of({0x95, 0x5C});                             // 表

TEST_F(LzhHeadDec, Level0FieldsAndTheStreamAtTheData) {
    const ByteString header =
        level0_header("-lh5-", 3, 10, dos_stamp(2021, 7, 15, 12, 34, 56), "DIR\\FILE.TXT", 0xBEEF);
    HeaderStream stream(header + "xyz" + bytes_of({0}));
    const ReadHead head(stream.reader());
    EXPECT_EQ(head.level, 0);
    EXPECT_EQ(head.method, "-lh5-");
    EXPECT_EQ(head.compressed_size, 3);
    EXPECT_EQ(head.original_size, 10);
    EXPECT_EQ(head.data_size(), 3);
    EXPECT_EQ(head.data_crc, 0xBEEF);
    EXPECT_EQ((std::vector<int>{head.time.year, head.time.month, head.time.day, head.time.hour, head.time.minute,
                                head.time.second}),
              (std::vector<int>{2021, 7, 15, 12, 34, 56}));
    EXPECT_EQ(head.stored_time, -1);
    // Only "/" splits in the reader; the driver makes directories of "\".
    EXPECT_EQ(head.name, u"DIR\\FILE.TXT");
    EXPECT_EQ(head.directory, u"");
    EXPECT_EQ(stream.reader().byte_get(), 'x');
}

TEST_F(LzhHeadDec, Level1ExtendedHeadersCountInTheCompressedSize) {
    // jlha's layout: the directory in a 0x02 record with 0xFF separators and
    // a trailing 0xFF, a header-CRC record first.
    const ByteString header = level1_header("-lh0-", 4, 4, dos_stamp(2020, 1, 20, 8, 9, 10), "leaf.txt", 0x1234,
                                            {{0x00, le(0, 2)}, {0x02, "docs\xFFguide\xFF"}, {0x50, "ignored"}});
    HeaderStream stream(header + "DATA" + bytes_of({0}));
    const ReadHead head(stream.reader());
    EXPECT_EQ(head.level, 1);
    EXPECT_EQ(head.os_id, 'M');
    EXPECT_EQ(head.extended_size, 5 + 14 + 10);
    EXPECT_EQ(head.compressed_size, 4 + 5 + 14 + 10);
    EXPECT_EQ(head.data_size(), 4);
    EXPECT_EQ(head.directory, u"docs/guide/");
    EXPECT_EQ(head.name, u"leaf.txt");
    EXPECT_EQ(head.time.second, 10);
    EXPECT_EQ(stream.reader().byte_get(), 'D');
}

TEST_F(LzhHeadDec, Level2NamesAndDirectories) {
    struct Case {
        const char* what;
        std::vector<Record> records;
        WideString directory;
        WideString name;
    };
    const ByteString utf16_name = bytes_of({0xE5, 0x65, 0x2C, 0x67, 0x9E, 0x8A, '.', 0, 't', 0, 'x', 0, 't', 0});
    const ByteString utf16_dir = bytes_of({0xBD, 0x30, 0xFC, 0x30, 0xB9, 0x30, 0xFF, 0xFF});  // ソース U+FFFF
    const std::vector<Case> cases = {
        {"a path in the name record", {{0x01, "a/b/c.txt"}}, u"a/b/", u"c.txt"},
        {"a leading '/' alone does not split", {{0x01, "/x"}}, u"", u"_x"},
        {"a directory record without its last separator", {{0x01, "a.txt"}, {0x02, "docs"}}, u"docs/", u"a.txt"},
        {"a directory record with '/'", {{0x01, "a.txt"}, {0x02, "docs/sub/"}}, u"docs/sub/", u"a.txt"},
        {"the 0x44 name wins over 0x01", {{0x01, "memo.txt"}, {0x44, utf16_name}}, u"", u"日本語.txt"},
        {"an empty 0x44 record is no name", {{0x01, "memo.txt"}, {0x44, ""}}, u"", u"memo.txt"},
        {"an odd-sized 0x44 record is no name", {{0x01, "memo.txt"}, {0x44, utf16_name + "x"}}, u"", u"memo.txt"},
        {"a 0x44 record with a zero unit is no name",
         {{0x01, "memo.txt"}, {0x44, bytes_of({'a', 0, 0, 0})}},
         u"",
         u"memo.txt"},
        {"a lone surrogate in 0x45 leaves 0x02",
         {{0x01, "a"}, {0x02, "x"}, {0x45, bytes_of({0x00, 0xD8, 'y', 0})}},
         u"x/",
         u"a"},
        {"the 0x45 directory wins over 0x02", {{0x01, "a"}, {0x02, "x\xFF"}, {0x45, utf16_dir}}, u"ソース/", u"a"},
        {"unknown records are skipped", {{0x50, "????"}, {0x7F, ""}, {0x01, "a"}}, u"", u"a"},
        {"no name record", {{0x00, le(0, 2)}}, u"", u""},
    };
    for (const Case& c : cases) {
        reset_job_state();
        HeaderStream stream(level2_header("-lh0-", 0, 0, 1626352496, 0, c.records) + bytes_of({0}));
        const ReadHead head(stream.reader());
        EXPECT_EQ(head.level, 2) << c.what;
        EXPECT_EQ(head.directory, c.directory) << c.what;
        EXPECT_EQ(head.name, c.name) << c.what;
        EXPECT_EQ(stream.reader().byte_get(), 0) << c.what;  // the end mark follows
    }
}

TEST_F(LzhHeadDec, Level2TimeIsSecondsSince1970) {
    HeaderStream stream(level2_header("-lh5-", 7, 9, 1626352496, 0xCAFE, {{0x01, "t"}}));
    const ReadHead head(stream.reader());
    EXPECT_EQ(head.stored_time, 1626352496);
    const DateRecord local = head.local_time();
    EXPECT_EQ((std::vector<int>{local.year, local.month, local.day, local.hour, local.minute, local.second}),
              (std::vector<int>{2021, 7, 15, 12, 34, 56}));
    EXPECT_EQ(head.data_crc, 0xCAFE);
    EXPECT_EQ(head.os_id, 'M');
}

TEST_F(LzhHeadDec, CodePageRecordsOfTwoAndFourBytes) {
    for (const ByteString& value : {le(932, 2), le(932, 4)}) {
        reset_job_state();
        HeaderStream stream(level2_header(
            "-lh0-", 0, 0, 0, 0, {{0x01, SJIS_NIHONGO + ".txt"}, {0x02, SJIS_SOURCE + "\xFF"}, {0x46, value}}));
        const ReadHead head(stream.reader());
        EXPECT_TRUE(head.has_code_page);
        EXPECT_EQ(head.code_page, 932);
        EXPECT_EQ(head.name, u"日本語.txt");
        EXPECT_EQ(head.directory, u"ソース/");
    }
}

TEST_F(LzhHeadDec, FFSeparatorOptionAppliesToNameFieldsToo) {
    // With /FF (and the launcher's "\" as its character) 0xFF separates
    // directories in every narrow name; /CP:932 decodes the rest.
    start_job(OPT_FF_SEPARATOR | OPT_CODEPAGE_SET, 932);
    HeaderStream stream(level0_header("-lh0-", 0, 0, 0, SJIS_SOURCE + "\xFF" + SJIS_HYOU + ".txt", 0) +
                        level2_header("-lh0-", 0, 0, 0, 0,
                                      {{0x01, "a.txt"},
                                       {0x02, SJIS_SOURCE + "\xFF"
                                                            "b\xFF"}}));
    const ReadHead level0(stream.reader());
    EXPECT_EQ(level0.name, u"ソース\\表.txt");
    const ReadHead level2(stream.reader());
    EXPECT_EQ(level2.directory, u"ソース\\b\\");
    EXPECT_EQ(level2.name, u"a.txt");
}

// Narrow names without a code-page record on a Japanese system: UTF-8 is
// told by its form, with or without /FF and a leading mark; Shift-JIS
// stays Shift-JIS; a code page the user gives decides.
TEST_F(LzhHeadDec, UnmarkedUtf8NamesAreToldFromTheCodePage) {
    platform::set_ansi_code_page_override(932);
    const ByteString hyou = "\xE8\xA1\xA8";                             // 表
    const ByteString nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
    struct Case {
        const char* what;
        std::uint32_t flags;
        std::int32_t code_page;
        ByteString name, directory;
        WideString expected_name, expected_directory;
    };
    const Case cases[] = {
        {"UTF-8", 0, 0, hyou + ".txt", "s\xFF" + nihongo + "\xFF", u"表.txt", u"s/日本語/"},
        {"UTF-8 with /FF", OPT_FF_SEPARATOR, 0, hyou, "s\xFF" + nihongo + "\xFF", u"表", u"s\\日本語\\"},
        {"UTF-8 with its mark", 0, 0, "\xEF\xBB\xBF" + hyou, "\xEF\xBB\xBFs\xFF", u"表", u"s/"},
        {"Shift-JIS", 0, 0, SJIS_HYOU, SJIS_SOURCE + "\xFF", u"表", u"ソース/"},
        {"UTF-8 read as the code page given", OPT_CODEPAGE_SET, 1252, hyou, "s", u"\u00E8\u00A1\u00A8", u"s/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_job_state();
        start_job(c.flags, c.code_page);
        job_state().separator_byte = '\\';
        HeaderStream stream(level2_header("-lh0-", 0, 0, 0, 0, {{0x01, c.name}, {0x02, c.directory}}));
        const ReadHead head(stream.reader());
        EXPECT_EQ(utf8(head.name), utf8(c.expected_name));
        EXPECT_EQ(utf8(head.directory), utf8(c.expected_directory));
    }
}

TEST_F(LzhHeadDec, ReportNamesTheRecordsThatGaveTheNames) {
    start_job(OPT_REPORT);
    HeaderStream stream(level2_header("-lh0-", 0, 0, 0, 0, {{0x01, "a.txt"}, {0x02, "d\xFF"}, {0x46, le(932, 2)}}));
    const ReadHead head(stream.reader());
    const WideString& report = job_state().report_text;
    EXPECT_NE(report.find(u"H01: cp932: 61,2E,74,78,74\n └"), WideString::npos) << utf8(report);
    EXPECT_NE(report.find(u" └H02(dir): cp932: 64,2F\n"), WideString::npos) << utf8(report);
}

TEST_F(LzhHeadDec, EndMarkAndEndOfDataMeanNoHeader) {
    for (const ByteString& bytes : {bytes_of({0}), ByteString(), bytes_of({0, 1, 2, 3})}) {
        HeaderStream stream(bytes);
        const ReadHead head(stream.reader());
        EXPECT_EQ(head.level, -1);
    }
}

TEST_F(LzhHeadDec, BrokenHeadersAreThrown) {
    const ByteString good0 = level0_header("-lh0-", 0, 0, 0, "name.txt", 0);
    const ByteString good2 = level2_header("-lh0-", 0, 0, 0, 0, {{0x01, "name.txt"}});
    ByteString level4 = good2;
    level4[20] = 4;
    // A level-2 header relabelled 3: its first field is no word size.
    ByteString relabelled3 = good2;
    relabelled3[20] = 3;
    const ByteString good3 = level3_header("-lh0-", 0, 0, 0, 0, {{0x01, "name.txt"}});
    ByteString huge3 = good3;
    huge3[27] = '\x7F';  // a header length of about 2 GiB
    ByteString tiny0 = good0;
    tiny0[0] = 3;  // H = 5
    ByteString long_name0 = good0;
    long_name0[21] = static_cast<char>(250);
    ByteString short2 = good2;
    short2[0] = 20;  // less than the fixed fields
    ByteString past_h = good2;
    past_h[0] = 30;  // the name record runs past H
    // A level-1 chain of records longer than any real header.
    std::vector<Record> many(20, Record{0x50, ByteString(60000, 'x')});
    struct Case {
        const char* what;
        ByteString bytes;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"level 4", level4, "LZHHeadDec: this file level is out of support range."},
        {"level 3 with a word size of 42", relabelled3, "LZHHeadDec: header format is illegal."},
        {"level-3 length past any real header", huge3, "LZHHeadDec: header format is illegal."},
        {"level-3 record size 4", level3_header("-lh0-", 0, 0, 0, 0, {}).substr(0, 28) + le(4, 4) + "xxxx",
         "LZHHeadDec: extended header is illegal."},
        {"cut inside the method", good0.substr(0, 5), "str_get: header format is illegal."},
        {"cut inside the fixed fields", good0.substr(0, 12), "int_get: header format is illegal."},
        {"cut inside the name", good0.substr(0, 25), "str_get: header format is illegal."},
        {"cut inside the data CRC", good0.substr(0, 31), "int_get: header format is illegal."},
        {"length leaves no room for the fields", tiny0 + ByteString(40, 'x'), "LZHHeadDec: header format is illegal."},
        {"name past the header", long_name0 + ByteString(300, 'x'), "LZHHeadDec: header format is illegal."},
        {"level-2 length below the fixed fields", short2, "LZHHeadDec: header format is illegal."},
        {"record past the header length", past_h, "LZHHeadDec: extended header is illegal."},
        {"record size 2", level2_header("-lh0-", 0, 0, 0, 0, {}).substr(0, 24) + le(2, 2) + "xxxx",
         "LZHHeadDec: extended header is illegal."},
        {"level-1 chain too long", level1_header("-lh0-", 0, 0, 0, "a", 0, many),
         "LZHHeadDec: extended header is illegal."},
        {"level-1 chain cut short", level1_header("-lh0-", 0, 0, 0, "a", 0, {{0x01, "abcdef"}}).substr(0, 33),
         "str_get: header format is illegal."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(thrown_reading(c.bytes), c.error) << c.what;
    }
}

// Level 3 (4-byte size fields) and the level-2 headers of OS-9/68k (whose
// length leaves out the chain's last two bytes) read as level 2 does, and
// records of unknown types are skipped by their size.
TEST_F(LzhHeadDec, Level3AndOs9HeadersReadAsLevel2) {
    start_job(0);
    const std::vector<Record> records = {
        {0x50, "unknown"}, {0x01, "name.txt"}, {0x02, "dir\xFF"}, {0x7F, ByteString(300, 'x')}};
    ByteString os9 = level2_header("-lh5-", 0xFFFFFFFE, 0xFFFFFFFF, 1626352496, 0xCAFE, records);
    os9[23] = 'K';
    const auto short_length = static_cast<std::uint32_t>(os9.size() - 2);
    os9[0] = le(short_length, 2)[0];
    os9[1] = le(short_length, 2)[1];
    struct Case {
        const char* what;
        ByteString header;
        int level;
    };
    const std::vector<Case> cases = {
        {"level 2", level2_header("-lh5-", 0xFFFFFFFE, 0xFFFFFFFF, 1626352496, 0xCAFE, records), 2},
        {"level 3", level3_header("-lh5-", 0xFFFFFFFE, 0xFFFFFFFF, 1626352496, 0xCAFE, records), 3},
        {"OS-9/68k level 2", os9, 2},
    };
    for (const Case& c : cases) {
        HeaderStream stream(c.header + "data");
        const ReadHead head(stream.reader());
        EXPECT_EQ(head.level, c.level) << c.what;
        EXPECT_EQ(head.method, "-lh5-") << c.what;
        // Sizes are unsigned: members of 2 GiB to 4 GiB - 1 exist.
        EXPECT_EQ(head.compressed_size, 0xFFFFFFFE) << c.what;
        EXPECT_EQ(head.original_size, 0xFFFFFFFF) << c.what;
        EXPECT_EQ(head.data_size(), 0xFFFFFFFE) << c.what;
        EXPECT_EQ(head.stored_time, 1626352496) << c.what;
        EXPECT_EQ(head.data_crc, 0xCAFE) << c.what;
        EXPECT_EQ(head.name, u"name.txt") << c.what;
        EXPECT_EQ(head.directory, u"dir/") << c.what;
        EXPECT_EQ(stream.reader().byte_get(), 'd') << c.what;
    }
}

TEST_F(LzhHeadDec, AnAmigaCommentAfterANulIsNoPartOfTheName) {
    start_job(0);
    for (const int level : {0, 1}) {
        const ByteString name = ByteString("readme") + '\0' + "A comment";
        HeaderStream stream(level == 0 ? level0_header("-lh0-", 0, 0, 0, name, 0)
                                       : level1_header("-lh0-", 0, 0, 0, name, 0));
        const ReadHead head(stream.reader());
        EXPECT_EQ(head.name, u"readme") << level;
    }
}

TEST_F(LzhHeadDec, ALevel2HeaderCutShortReadsOnAs0xFF) {
    // Length 65535 in a short file: the header is read to its length with
    // 0xFF bytes, and its records stay those that were there.
    ByteString header = level2_header("-lh0-", 100, 100, 0, 0, {{0x01, "good.txt"}});
    header[0] = '\xFF';
    header[1] = '\xFF';
    HeaderStream stream(header + "data");
    const ReadHead head(stream.reader());
    EXPECT_EQ(head.name, u"good.txt");
    EXPECT_EQ(head.raw.bytes.size(), 65535u);
    EXPECT_EQ(stream.reader().byte_get(), -1);
}

}  // namespace
