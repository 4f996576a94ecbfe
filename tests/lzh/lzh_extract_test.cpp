// Proves LZH extraction end to end through LZHDecode, in-process with the
// message boxes answered from a script: the peers' archives (jlha, every
// header level, -lh5- with one-symbol codes, Shift-JIS names) and the
// generated Shift-JIS fixtures extract to their payload with their times;
// the overwrite question's Yes, No and Cancel; unsupported methods, CRC
// errors, directory entries and outputs that cannot be opened; the report
// files and the routing of errors by the dialog limit; daylight saving;
// and hostile archives, whose names never reach outside the destination.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "archive_options.h"
#include "export_run.h"
#include "lzh_test_support.h"

namespace {

using namespace lzh_test;
using platform::BoxAnswer;
using platform::BoxKind;

constexpr const char16_t* OVERWRITE_TEXT = u"\n既に存在するが上書きする？、[いいえ]で スキップ、[キャンセル]で 中止。";

using JobRun = test_common::ExportRun;

class LzhExtract : public LzhJobTest {
protected:
    JobRun extract(const std::vector<WideString>& archives, std::vector<BoxAnswer> answers = {}) {
        return test_common::run_decode(LZHDecode, archives, options, std::move(answers), test_common::Unasked::allowed);
    }

    // "展開先: " and the destination, as the final boxes begin.
    WideString header() const {
        WideString here;
        platform::current_directory(here);
        return u"展開先: " + here + u"\n";
    }

    // The run ended with the "終了" box alone after the given questions,
    // without errors.
    void expect_clean(const JobRun& run, std::size_t questions = 0) {
        EXPECT_EQ(run.errors, u"") << utf8(run.errors);
        ASSERT_EQ(run.boxes.size(), questions + 1);
        EXPECT_EQ(run.boxes.back().title, u"終了");
        EXPECT_EQ(run.boxes.back().text, header());
    }

    TimeZone utc{"UTC0"};
    Scratch scratch{"lzhx"};
};

// ---- the payload manifests ------------------------------------------------------

struct PayloadEntry {
    bool directory;
    std::int64_t size;
    std::uint32_t crc32;
    std::int64_t mtime;
};

// path -> entry, from a payload manifest (kind, size, crc32, mtime, utc, path).
std::map<std::string, PayloadEntry> payload(const std::string& manifest) {
    std::map<std::string, PayloadEntry> entries;
    for (const auto& row : manifest_rows("payload/" + manifest)) {
        const bool dir = row[0] == "d";
        entries[row[5]] = {dir, std::stoll(row[1]),
                           dir ? 0u : static_cast<std::uint32_t>(std::stoul(row[2], nullptr, 16)), std::stoll(row[3])};
    }
    return entries;
}

void expect_payload(const Scratch& s, const std::map<std::string, PayloadEntry>& expected, const std::string& what) {
    std::vector<std::string> paths;
    for (const auto& [path, entry] : expected) {
        paths.push_back(path);
        const WideString wide = wide_from_utf8(path);
        if (entry.directory) {
            EXPECT_TRUE(s.is_directory(wide)) << what << ": " << path;
            continue;
        }
        const std::string content = s.read(wide);
        EXPECT_EQ(static_cast<std::int64_t>(content.size()), entry.size) << what << ": " << path;
        EXPECT_EQ(crc32(content), entry.crc32) << what << ": " << path;
        EXPECT_EQ(s.mtime(wide), entry.mtime) << what << ": " << path;
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(s.listing(), paths) << what;
}

// ---- archives of the peers ----------------------------------------------------------

TEST_F(LzhExtract, JlhaArchivesExtractToTheirPayload) {
    struct Case {
        const char* archive;
        const char* manifest;
        std::vector<std::string> only;  // empty: the whole tree
        std::vector<std::string> without;
        std::uint32_t flags = 0;
        std::int32_t code_page = 0;
        int ansi = 1252;
    };
    const std::vector<Case> cases = {
        // Level 0 keeps paths with "\" in the name field.
        {"tree-l0.lzh", "manifest-tree.tsv", {}, {}},
        {"tree-l1.lzh", "manifest-tree.tsv", {}, {}},
        {"tree-l2.lzh", "manifest-tree.tsv", {}, {}},
        {"tree-l2-stored.lzh", "manifest-tree.tsv", {}, {"zeros.bin"}},
        // 200 KB of zeros in 110 bytes, one 0xAA run, one distance: the
        // one-symbol codes cost no bits.
        {"zeros-l0.lzh", "manifest-tree.tsv", {"zeros.bin"}, {}},
        {"zeros-l2.lzh", "manifest-tree.tsv", {"zeros.bin"}, {}},
        {"run_aa-l0.lzh", "manifest-tree.tsv", {"run_aa.bin"}, {}},
        {"run_aa-l2.lzh", "manifest-tree.tsv", {"run_aa.bin"}, {}},
        {"pattern7-l2.lzh", "manifest-tree.tsv", {"pattern7.bin"}, {}},
        // Shift-JIS names, with /CP:932 ...
        {"jp-l0.lzh", "manifest-jp.tsv", {}, {}, OPT_CODEPAGE_SET, 932},
        {"jp-l1.lzh", "manifest-jp.tsv", {}, {}, OPT_CODEPAGE_SET, 932},
        {"jp-l2.lzh", "manifest-jp.tsv", {}, {}, OPT_CODEPAGE_SET, 932},
        // ... or on a system whose code page is 932, where the launcher
        // adds /FF.
        {"jp-l0.lzh", "manifest-jp.tsv", {}, {}, OPT_FF_SEPARATOR, 0, 932},
        {"jp-l1.lzh", "manifest-jp.tsv", {}, {}, OPT_FF_SEPARATOR, 0, 932},
        {"jp-l2.lzh", "manifest-jp.tsv", {}, {}, OPT_FF_SEPARATOR, 0, 932},
        // The larger dictionaries with Shift-JIS names.
        {"jp-lh6-l0.lzh", "manifest-jp.tsv", {}, {}, OPT_CODEPAGE_SET, 932},
        {"jp-lh6-l1.lzh", "manifest-jp.tsv", {}, {}, OPT_CODEPAGE_SET, 932},
        {"jp-lh6-l2.lzh", "manifest-jp.tsv", {}, {}, OPT_FF_SEPARATOR, 0, 932},
        {"jp-lh7-l0.lzh", "manifest-jp.tsv", {}, {}, OPT_FF_SEPARATOR, 0, 932},
        {"jp-lh7-l1.lzh", "manifest-jp.tsv", {}, {}, OPT_CODEPAGE_SET, 932},
        {"jp-lh7-l2.lzh", "manifest-jp.tsv", {}, {}, OPT_CODEPAGE_SET, 932},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        reset_job_state();
        scratch.fresh_dest();
        platform::set_ansi_code_page_override(c.ansi);
        options.flags = c.flags;
        options.code_page = c.code_page;
        std::map<std::string, PayloadEntry> expected = payload(c.manifest);
        if (!c.only.empty()) {
            std::map<std::string, PayloadEntry> kept;
            for (const std::string& p : c.only) kept[p] = expected.at(p);
            expected = kept;
        }
        for (const std::string& p : c.without) expected.erase(p);

        const JobRun run = extract({scratch.fixture(std::string("jlha/") + c.archive)});
        expect_clean(run);
        expect_payload(scratch, expected, c.archive);
    }
}

TEST_F(LzhExtract, GeneratedShiftJisArchivesGetTheirUnicodeNames) {
    struct Case {
        const char* archive;
        std::uint32_t flags;
        std::int32_t code_page;
        int ansi;
    };
    const std::vector<Case> cases = {
        {"l0-cp932.lzh", OPT_CODEPAGE_SET, 932, 1252},
        {"l0-cp932.lzh", OPT_FF_SEPARATOR, 0, 932},
        {"l0-cp932-ff.lzh", OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932, 1252},
        {"l0-cp932-ff.lzh", OPT_FF_SEPARATOR, 0, 932},
        {"l1-cp932.lzh", OPT_CODEPAGE_SET, 932, 1252},
        {"l1-cp932-ff.lzh", OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932, 1252},
        {"l1-cp932-ff.lzh", OPT_FF_SEPARATOR, 0, 932},
        // The records carry the form: no switch needed.
        {"l2-cp932-unicode.lzh", 0, 0, 1252},
        {"l2-cp932-cp2.lzh", 0, 0, 1252},
        {"l2-cp932-cp4.lzh", 0, 0, 1252},
        {"l2-cp936-cp2.lzh", 0, 0, 1252},
        {"l2-cp932-cp2.lzh", OPT_FF_SEPARATOR, 0, 932},
        // Level 3, OS-9/68k level 2, an Amiga comment after the name.
        {"l3-cp932.lzh", OPT_CODEPAGE_SET, 932, 1252},
        {"l2-os9.lzh", 0, 0, 1252},
        {"l0-amiga-comment.lzh", 0, 0, 1252},
        // MacLHA's members: the fork after a MacBinary header of theirs.
        {"l2-macbinary.lzh", 0, 0, 1252},
    };
    std::map<std::string, std::vector<std::vector<std::string>>> members;
    for (const auto& row : manifest_rows("generated/members.tsv")) members[row[0]].push_back(row);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.archive) + " ansi " + std::to_string(c.ansi));
        reset_job_state();
        scratch.fresh_dest();
        platform::set_ansi_code_page_override(c.ansi);
        options.flags = c.flags;
        options.code_page = c.code_page;
        const JobRun run = extract({scratch.fixture(std::string("generated/") + c.archive)});
        expect_clean(run);
        std::vector<std::string> paths;
        for (const auto& row : members.at(c.archive)) {
            const WideString path = wide_from_utf8(row[6]);
            paths.push_back(row[6]);
            if (row[2] == "d") {
                EXPECT_TRUE(scratch.is_directory(path)) << row[6];
                continue;
            }
            const std::string content = scratch.read(path);
            EXPECT_EQ(std::to_string(content.size()), row[3]) << row[6];
            char crc[9];
            std::snprintf(crc, sizeof crc, "%08x", crc32(content));
            EXPECT_EQ(crc, row[5]) << row[6];
            EXPECT_EQ(scratch.mtime(path), 1626352496) << row[6];
        }
        // Every directory of a path appears in the listing as well.
        std::set<std::string> all(paths.begin(), paths.end());
        for (const std::string& p : paths) {
            for (std::size_t cut = p.find('/'); cut != std::string::npos && cut + 1 < p.size();
                 cut = p.find('/', cut + 1)) {
                all.insert(p.substr(0, cut + 1));
            }
        }
        EXPECT_EQ(scratch.listing(), std::vector<std::string>(all.begin(), all.end()));
    }
}

TEST_F(LzhExtract, AnArchiveBehindLeadingBytesIsFoundUpToTheSearchLimit) {
    // A header may start anywhere in the first 64 KiB, the last place
    // included, however the file is read; one byte further it is not found.
    const ByteString archive = archive_of({{.name = u"a.txt", .data = "alpha"}});
    struct Case {
        std::size_t leading;
        bool found;
    };
    for (const Case c : {Case{1, true}, Case{65535, true}, Case{65536, false}}) {
        SCOPED_TRACE(c.leading);
        reset_job_state();
        scratch.fresh_dest();
        const JobRun run = extract({scratch.archive("sfx.lzh", ByteString(c.leading, 'x') + archive)});
        if (c.found) {
            EXPECT_EQ(run.errors, u"") << utf8(run.errors);
            EXPECT_EQ(scratch.read(u"a.txt"), "alpha");
        } else {
            EXPECT_NE(utf8(run.errors).find("no archive header in the first 64 KiB"), std::string::npos);
        }
    }
}

// ---- the overwrite question ------------------------------------------------------

TEST_F(LzhExtract, YesOverwritesAnExistingFile) {
    scratch.make_file(u"a.txt", "old");
    const WideString archive = scratch.archive("a.lzh", archive_of({{.name = u"a.txt", .data = "new"}}));
    const JobRun run = extract({archive}, {BoxAnswer::yes});
    expect_clean(run, 1);
    EXPECT_EQ(run.boxes[0].text, u"a.txt" + WideString(OVERWRITE_TEXT));
    EXPECT_EQ(run.boxes[0].title, u"上書き確認!?");
    EXPECT_EQ(run.boxes[0].kind, BoxKind::yes_no_cancel);
    EXPECT_EQ(scratch.read(u"a.txt"), "new");
}

TEST_F(LzhExtract, NoOnTheFirstMemberOfALevel1ArchiveSkipsExactlyItsData) {
    // Level-1 compressed sizes count the extended headers, which the reader
    // has already read: skipping by the whole size would land inside the
    // next member.
    scratch.make_file(u"alpha.txt", "old");
    const JobRun run = extract({scratch.fixture("jlha/tree-l1.lzh")}, {BoxAnswer::no});
    EXPECT_EQ(run.errors, u"alpha.txt >>スキップ！\n");
    EXPECT_EQ(scratch.read(u"alpha.txt"), "old");
    std::map<std::string, PayloadEntry> rest = payload("manifest-tree.tsv");
    rest.erase("alpha.txt");
    for (const auto& [path, entry] : rest) {
        if (entry.directory) continue;
        EXPECT_EQ(crc32(scratch.read(wide_from_utf8(path))), entry.crc32) << path;
    }
    // The short error goes to a report file, and the job ends with "終了".
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[1].title, u"終了");
    EXPECT_EQ(run.boxes[1].text, header() + u"レポート: tree-l1.lzh_dec_err_report.txt");
    EXPECT_TRUE(scratch.exists(u"tree-l1.lzh_dec_err_report.txt"));
}

TEST_F(LzhExtract, CancelEndsTheArchiveButNotTheJob) {
    scratch.make_file(u"two.txt", "old");
    options.flags = OPT_REPORT;
    const WideString first = scratch.archive("first.lzh", archive_of({{.name = u"one.txt", .data = "1"},
                                                                      {.name = u"two.txt", .data = "2"},
                                                                      {.name = u"three.txt", .data = "3"}}));
    const WideString second = scratch.archive("second.lzh", archive_of({{.name = u"four.txt", .data = "4"}}));
    const JobRun run = extract({first, second}, {BoxAnswer::cancel});
    EXPECT_EQ(scratch.read(u"one.txt"), "1");
    EXPECT_EQ(scratch.read(u"two.txt"), "old");
    EXPECT_FALSE(scratch.exists(u"three.txt"));
    EXPECT_EQ(scratch.read(u"four.txt"), "4");
    EXPECT_EQ(run.errors, u"two.txt >>中止！\n");
    EXPECT_NE(run.report.find(u"   >> 中止！\n"), WideString::npos);
}

// ---- members that are not extracted, and broken members ----------------------------

TEST_F(LzhExtract, UnsupportedMethodIsReportedAndSkipped) {
    // Methods no writer produced.
    // At level 2 (our writer) and at level 1, whose size counts the records.
    const std::uint32_t stamp = dos_stamp(2021, 7, 15, 12, 34, 56);
    const ByteString level1 =
        level1_header("-lh8-", 30, 60, stamp, "eight.bin", 0, {{0x00, le(0, 2)}}) + ByteString(30, '\x55') +
        level1_header("-lh0-", 2, 2, stamp, "ok1.txt", crc16("ok"), {{0x00, le(0, 2)}}) + "ok" + bytes_of({0});
    const WideString a = scratch.archive(
        "a.lzh",
        archive_of(
            {{.name = u"seven.bin", .data = std::string(40, 'x'), .method = "-lhx-", .stored = std::string(25, '?')},
             {.name = u"ok2.txt", .data = "ok"}}));
    const WideString b = scratch.archive("b.lzh", level1);
    const JobRun run = extract({a, b});
    EXPECT_EQ(run.errors, u"seven.bin >> -lhx-, this file-type is not support.\n"
                          u"eight.bin >> -lh8-, this file-type is not support.\n");
    EXPECT_FALSE(scratch.exists(u"seven.bin"));
    EXPECT_FALSE(scratch.exists(u"eight.bin"));
    EXPECT_EQ(scratch.read(u"ok1.txt"), "ok");
    EXPECT_EQ(scratch.read(u"ok2.txt"), "ok");
}

TEST_F(LzhExtract, CrcErrorKeepsTheFileWithItsTime) {
    const WideString archive = scratch.archive(
        "a.lzh",
        archive_of({{.name = u"bad.txt", .data = "payload", .crc = 0x1234}, {.name = u"good.txt", .data = "g"}}));
    const JobRun run = extract({archive});
    EXPECT_EQ(run.errors, u"bad.txt >> CRC error!\n");
    EXPECT_EQ(scratch.read(u"bad.txt"), "payload");
    EXPECT_EQ(scratch.mtime(u"bad.txt"), 1626352496);
    EXPECT_EQ(scratch.read(u"good.txt"), "g");
}

TEST_F(LzhExtract, DirectoryEntriesCreateTheirDirectories) {
    // Ours: an -lhd- record with the path as directory part; jlha's level
    // 0: the path with "\" and a trailing "\" as the name.
    const ByteString archive = member_bytes({.name = u"", .directory = u"empty/sub/", .method = "-lhd-"}) +
                               level0_header("-lhd-", 0, 0, 0, "old\\dir\\", 0) + bytes_of({0});
    const JobRun run = extract({scratch.archive("a.lzh", archive)});
    expect_clean(run);
    EXPECT_EQ(scratch.listing(), (std::vector<std::string>{"empty/", "empty/sub/", "old/", "old/dir/"}));
}

TEST_F(LzhExtract, Lh5MemberInADirectoryThatDoesNotExist) {
    const std::string text = "abcabcabcabcabc";
    std::vector<Token> tokens = literals("abc");
    tokens.push_back({256 + 12 - 3, 2});
    const std::string data = lh5_data({Block(tokens)});
    const WideString archive = scratch.archive(
        "a.lzh",
        archive_of({{.name = u"t.txt", .directory = u"x/y/z/", .data = text, .method = "-lh5-", .stored = data}}));
    expect_clean(extract({archive}));
    EXPECT_EQ(scratch.read(u"x/y/z/t.txt"), text);
}

TEST_F(LzhExtract, EmptyLh5MemberAndUnreadPaddingAreSkipped) {
    // An -lh5- member of size 0 reads none of its (three) data bytes; a
    // member whose compressed size counts two bytes after the last code has
    // them skipped. The next header is where the sizes put it.
    const std::string data = lh5_data({Block(literals("hello"))});
    const WideString archive = scratch.archive(
        "a.lzh", archive_of({{.name = u"empty.bin", .data = "", .method = "-lh5-", .stored = "\x12\x34\x56"},
                             {.name = u"hello.txt", .data = "hello", .method = "-lh5-", .stored = data + "PP"},
                             {.name = u"last.txt", .data = "last"}}));
    expect_clean(extract({archive}));
    EXPECT_TRUE(scratch.exists(u"empty.bin"));
    EXPECT_EQ(scratch.read(u"empty.bin"), "");
    EXPECT_EQ(scratch.read(u"hello.txt"), "hello");
    EXPECT_EQ(scratch.read(u"last.txt"), "last");
}

TEST_F(LzhExtract, MemberUnderAFileIsRefused) {
    scratch.make_file(u"f", "a file where a directory should be");
    const WideString archive = scratch.archive(
        "a.lzh", archive_of({{.name = u"x.txt", .directory = u"f/", .data = "x"}, {.name = u"y.txt", .data = "y"}}));
    const JobRun run = extract({archive});
    EXPECT_EQ(run.errors, u"f/x.txt >> f がフォルダでないので出力しない。\n");
    EXPECT_EQ(scratch.read(u"y.txt"), "y");
}

TEST_F(LzhExtract, AMissingArchiveDoesNotStopTheNext) {
    const WideString missing = scratch.dest_wide() + u"/../in/missing.lzh";
    const WideString good = scratch.archive("good.lzh", archive_of({{.name = u"g.txt", .data = "g"}}));
    const JobRun run = extract({missing, good});
    EXPECT_EQ(run.errors, u"エラー: " + missing + u"\n  decode: file is not found.\n");
    EXPECT_EQ(scratch.read(u"g.txt"), "g");
}

// ---- report files and the routing of errors ---------------------------------------------

TEST_F(LzhExtract, ReportFileOfAJobWithoutErrors) {
    options.flags = OPT_REPORT;
    const WideString archive = scratch.archive("r.lzh", archive_of({{.name = u"a.txt", .data = "a"}}));
    const JobRun run = extract({archive});
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, u"終了");
    EXPECT_EQ(run.boxes[0].text, header() + u"レポート: r.lzh_dec_report.txt");
    // The header is Japanese, so every report is UTF-8 with its mark.
    const std::string report = scratch.read(u"r.lzh_dec_report.txt");
    EXPECT_EQ(report.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(report.substr(3), utf8(header() + run.report.substr(header().size())));
    EXPECT_NE(report.find("61,2E,74,78,74\n └Ascii: a.txt\n"), std::string::npos) << report;
}

TEST_F(LzhExtract, ReportFileNamesAvoidExistingFiles) {
    options.flags = OPT_REPORT;
    const WideString archive = scratch.archive("r.lzh", archive_of({{.name = u"a.txt", .data = "a"}}));
    scratch.make_file(u"r.lzh_dec_report.txt");
    JobRun run = extract({archive}, {BoxAnswer::yes});
    EXPECT_EQ(run.boxes.back().text, header() + u"レポート: r.lzh_dec_report_1.txt");
    for (int i = 2; i <= 9; ++i) scratch.make_file(u"r.lzh_dec_report_" + WideString(1, char16_t(u'0' + i)) + u".txt");
    reset_job_state();
    run = extract({archive}, {BoxAnswer::yes});
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[1].title, u"エラー");
    EXPECT_EQ(run.boxes[1].text, header() + u"結果レポートのファイルへの書き込みに失敗。");
}

TEST_F(LzhExtract, DialogLimitRoutesErrors) {
    const WideString bad = scratch.archive("bad.lzh", archive_of({{.name = u"b.txt", .data = "b", .crc = 1}}));
    // A short error fits the limit: it goes to a report file.
    JobRun run = extract({bad});
    EXPECT_EQ(run.boxes.back().title, u"終了");
    EXPECT_EQ(run.boxes.back().text, header() + u"レポート: bad.lzh_dec_err_report.txt");
    const std::string report = scratch.read(u"bad.lzh_dec_err_report.txt");
    EXPECT_NE(report.find("\nError:\nb.txt >> CRC error!\n"), std::string::npos) << report;
    // Longer than the limit, with reporting off: shown in the box, no file.
    reset_job_state();
    std::filesystem::remove(scratch.at(u"bad.lzh_dec_err_report.txt"));
    options.dialog_limit = 10;
    run = extract({bad}, {BoxAnswer::yes});
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[1].title, u"エラー");
    EXPECT_EQ(run.boxes[1].text, header() + u"b.txt >> CRC error!\n");
    EXPECT_FALSE(scratch.exists(u"bad.lzh_dec_err_report.txt"));
}

// ---- times ------------------------------------------------------------------------------

TEST_F(LzhExtract, DaylightSavingIsSettledByTheCLibrary) {
    TimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    platform::LocalTime probe;
    if (!platform::to_local_time(1626345296, probe) || probe.hour != 12) {
        GTEST_SKIP() << "the C library does not take the time-zone rule from TZ here";
    }
    // 12:34:56 summer time is 10:34:56 UTC; 08:09:10 winter time 07:09:10.
    const std::uint32_t summer = dos_stamp(2021, 7, 15, 12, 34, 56);
    const std::uint32_t winter = dos_stamp(2020, 1, 20, 8, 9, 10);
    const ByteString archive = level0_header("-lh0-", 1, 1, summer, "s0", crc16("s")) + "s" +
                               level0_header("-lh0-", 1, 1, winter, "w0", crc16("w")) + "w" +
                               level1_header("-lh0-", 1, 1, summer, "s1", crc16("s")) + "s" +
                               level1_header("-lh0-", 1, 1, winter, "w1", crc16("w")) + "w" +
                               level2_header("-lh0-", 1, 1, 1626345296, crc16("s"), {{0x01, "s2"}}) + "s" +
                               level2_header("-lh0-", 1, 1, 1579504150, crc16("w"), {{0x01, "w2"}}) + "w" +
                               bytes_of({0});
    expect_clean(extract({scratch.archive("t.lzh", archive)}));
    for (const char16_t* summer_file : {u"s0", u"s1", u"s2"}) {
        EXPECT_EQ(scratch.mtime(summer_file), 1626345296) << utf8(summer_file);
    }
    for (const char16_t* winter_file : {u"w0", u"w1", u"w2"}) {
        EXPECT_EQ(scratch.mtime(winter_file), 1579504150) << utf8(winter_file);
    }
}

// ---- hostile archives --------------------------------------------------------------------

TEST_F(LzhExtract, HostileArchivesEndCleanly) {
    struct Case {
        const char* archive;
        std::string error;                 // a text the errors must hold ("" for none at all)
        std::vector<std::string> listing;  // what lands in the destination (report file aside)
    };
    const std::vector<Case> cases = {
        {"lzh-trunc-header-l0.lzh", "int_get: header format is illegal.", {}},
        {"lzh-trunc-header-l2.lzh", "LZHHeadDec: extended header is illegal.", {}},
        {"lzh-trunc-data.lzh", "good.txt >> CRC error!", {"good.txt"}},
        {"lzh-trunc-lh5.lzh", "alpha.txt >> CRC error!", {"alpha.txt"}},
        {"lzh-hlen-ffff.lzh", "good.txt >> CRC error!", {"good.txt"}},
        {"lzh-hlen-tiny-l0.lzh", "LZHHeadDec: header format is illegal.", {}},
        {"lzh-namelen-past-header-l0.lzh", "LZHHeadDec: header format is illegal.", {}},
        {"lzh-ext-size-huge.lzh", "LZHHeadDec: extended header is illegal.", {}},
        {"lzh-ext-size-2.lzh", "LZHHeadDec: extended header is illegal.", {}},
        {"lzh-csize-past-end.lzh", "runs past the end of the archive", {"good.txt"}},
        {"lzh-bad-crc.lzh", "good.txt >> CRC error!", {"good.txt"}},
        {"lzh-level3.lzh", "LZHHeadDec: header format is illegal.", {}},
        {"lzh-garbage-after-end.lzh", "", {"good.txt"}},
        // Losses at the end of the archive are said; what came before is
        // extracted. Without its end mark an archive cannot tell a lost
        // member from none.
        {"lzh-no-end-mark.lzh", "ends without its end mark", {"good.txt"}},
        {"lzh-cut-at-boundary.lzh", "ends without its end mark", {"a.txt", "b.txt"}},
        {"lzh-csize-past-end-second.lzh", "runs past the end of the archive", {"a.txt", "b.txt"}},
        {"lzh-csize-swallows-next.lzh", "runs past the end of the archive", {"a.txt"}},
        {"lzh-trunc-second-header.lzh", "header format is illegal.", {"a.txt"}},
        // An archive behind a program stub is found in the first 64 KiB.
        {"lzh-sfx-stub.lzh", "", {"a.txt", "b.txt", "c.txt"}},
        {"lzh-sfx-decoy.lzh", "", {"a.txt", "b.txt", "c.txt"}},
        {"lzh-sfx-too-far.lzh", "no archive header in the first 64 KiB", {}},
        {"lzh-dotdot-name.lzh", "", {".._evil.txt"}},
        {"lzh-dotdot-dir.lzh", "", {".._._/", ".._._/evil.txt"}},
        {"lzh-dotdot-l0.lzh", "", {".._._/", ".._._/evil.txt"}},
        {"lzh-dotdot-unicode.lzh", "", {".._evil.txt"}},
        {"lzh-abs-unix.lzh", "", {"_etc/", "_etc/x"}},
        {"lzh-abs-dir.lzh", "", {"_etc/", "_etc/x"}},
        {"lzh-abs-dos.lzh", "", {"C_/", "C_/x"}},
        {"lzh-abs-dos-l2.lzh", "", {"C_/", "C_/x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        reset_job_state();
        scratch.fresh_dest();
        const JobRun run = extract({scratch.fixture(std::string("hostile/") + c.archive)}, {BoxAnswer::yes});
        if (c.error.empty()) {
            EXPECT_EQ(run.errors, u"") << utf8(run.errors);
        } else {
            EXPECT_NE(utf8(run.errors).find(c.error), std::string::npos) << utf8(run.errors);
        }
        std::vector<std::string> listing = scratch.listing();
        std::erase_if(listing, [&](const std::string& p) { return p.find("_report") != std::string::npos; });
        EXPECT_EQ(listing, c.listing);
        EXPECT_EQ(scratch.root_names(), (std::vector<std::string>{"dest", "in"}));
    }
}

TEST_F(LzhExtract, StoredNamesNeverLeaveTheDestination) {
    // Every way out: "..", absolute and drive paths, "\" paths, in names,
    // directory records, Unicode records and level-0 name fields.
    const ByteString utf16_up = bytes_of({'.', 0, '.', 0, '/', 0, 'u', 0});
    const ByteString archive =
        member_bytes({.name = u"x1", .directory = u"../", .data = "1"}) +
        member_bytes({.name = u"../x2", .data = "2"}) + member_bytes({.name = u"/abs/x3", .data = "3"}) +
        member_bytes({.name = u"C:\\x4", .data = "4"}) + member_bytes({.name = u"..\\x5", .data = "5"}) +
        member_bytes({.name = u"a/../../x6", .data = "6"}) +
        level2_header("-lh0-", 1, 1, 0, crc16("7"), {{0x01, "ok"}, {0x44, utf16_up}}) + "7" +
        level2_header("-lh0-", 1, 1, 0, crc16("8"), {{0x01, "x8"}, {0x02, "..\xFF..\xFF"}}) + "8" +
        level0_header("-lh0-", 1, 1, 0, "..\\..\\x9", crc16("9")) + "9" +
        level0_header("-lh0-", 1, 1, 0, "\\\\server\\share\\x10", crc16("0")) + "0" +
        level0_header("-lh0-", 1, 1, 0, "C:x11", crc16("1")) + "1" + bytes_of({0});
    for (const std::uint32_t flags : {0u, static_cast<std::uint32_t>(OPT_FF_SEPARATOR)}) {
        reset_job_state();
        scratch.fresh_dest();
        options.flags = flags;
        const JobRun run = extract({scratch.archive("out.lzh", archive)}, {BoxAnswer::yes});
        EXPECT_EQ(run.errors, u"") << utf8(run.errors);
        EXPECT_EQ(scratch.root_names(), (std::vector<std::string>{"dest", "in"}));
        std::vector<std::string> files;
        for (const std::string& p : scratch.listing()) {
            if (p.back() != '/') files.push_back(p);
        }
        EXPECT_EQ(files.size(), 11u) << ::testing::PrintToString(scratch.listing());
    }
}

}  // namespace
