// Proves the ZIP extraction driver through the export ZIPDecode, in
// process: directories from the names ("/" or "\"), the overwrite question
// and its three answers (Cancel ends only its archive), CRC errors that keep
// the file and its time, large members written behind with their bytes,
// times and CRC verdicts, the walk's end at an unsupported method, empty
// Deflate members between others, data of a directory entry skipped, DOS
// times as local wall-clock time under daylight saving, and the hostile
// archives: each ends with its clear error or none, and nothing is ever
// written outside the destination.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <set>

#include "ansi_code_page.h"
#include "zip_decode_run.h"

namespace {

using namespace ziptest;
using platform::BoxAnswer;
using platform::BoxKind;

constexpr const char16_t* OVERWRITE_QUESTION =
    u"\n既に存在するが上書きする？ [いいえ]で スキップ、[キャンセル]で 中止。";

// 2021-07-15 12:34:56 and 2020-01-20 08:09:10 read as UTC.
constexpr std::int64_t SUMMER_UTC = 1626352496;
constexpr std::int64_t WINTER_UTC = 1579507750;
constexpr DateRecord SUMMER_STAMP{2021, 7, 15, 12, 34, 56};
constexpr DateRecord WINTER_STAMP{2020, 1, 20, 8, 9, 10};

std::int64_t mtime_of(const fs::path& path) {
    platform::FileStatus status;
    EXPECT_EQ(platform::file_status(wide_of(path), status), platform::StatResult::ok) << path;
    return status.modification_time;
}

class ZipExtractTest : public ::testing::Test {
protected:
    void SetUp() override { new_destination("job"); }

    // The destination is dest/ inside a folder of its own, so that anything
    // written beside it shows; it becomes the current directory.
    void new_destination(const std::string& folder) {
        outside_ = scratch / folder;
        destination_ = outside_ / "dest";
        fs::create_directories(destination_);
        ASSERT_TRUE(platform::set_current_directory(wide_of(destination_)));
        platform::current_directory(destination_text_);
    }

    fs::path archive(const std::string& name, const std::vector<Member>& members) {
        const fs::path path = scratch / name;
        write_file(path, zip_of(members));
        return path;
    }
    fs::path dest(const std::string& relative) const { return destination_ / utf8_path(relative); }
    // Every path below dest, "/"-separated, report files left out.
    std::set<std::string> extracted() const { return test_common::paths_below(destination_, true); }
    // What lies beside the destination: only itself.
    std::set<std::string> beside_destination() const {
        std::set<std::string> names;
        for (const auto& item : fs::directory_iterator(outside_))
            names.insert(utf8_of(wide_of(item.path().filename())));
        return names;
    }
    WideString destination_header() const { return u"展開先: " + destination_text_ + u"\n"; }

    ScratchDirectory scratch;
    fs::path outside_;
    fs::path destination_;
    WideString destination_text_;  // as the platform names the current directory
};

TEST_F(ZipExtractTest, NamesMakeTheirDirectories) {
    const fs::path zip = archive("dirs.zip", {Member("a/b/c.txt", "deep"), directory_member("d/"),
                                              Member("w\\x\\y.txt", "backslashes"), directory_member("v\\")});
    const DecodeRun run = zip_decode({zip});
    EXPECT_EQ(extracted(), (std::set<std::string>{"a/", "a/b/", "a/b/c.txt", "d/", "v/", "w/", "w/x/", "w/x/y.txt"}));
    EXPECT_EQ(read_file(dest("a/b/c.txt")), "deep");
    EXPECT_EQ(read_file(dest("w/x/y.txt")), "backslashes");
    EXPECT_EQ(run.errors, u"");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, u"終了");
    EXPECT_EQ(run.boxes[0].text, destination_header());
}

TEST_F(ZipExtractTest, ExistingFilesAreOverwrittenOnlyOnYes) {
    for (const char* name : {"x.txt", "y.txt", "z.txt"}) write_file(dest(name), "old");
    const fs::path zip = archive("three.zip", {Member("x.txt", "new x"), Member("y.txt", "new y"),
                                               Member("z.txt", "new z", ZIP_METHOD_STORED), Member("n.txt", "n")});
    const DecodeRun run =
        zip_decode({zip}, default_options(OPT_REPORT), {BoxAnswer::yes, BoxAnswer::no, BoxAnswer::yes});
    EXPECT_EQ(read_file(dest("x.txt")), "new x");
    EXPECT_EQ(read_file(dest("y.txt")), "old");
    EXPECT_EQ(read_file(dest("z.txt")), "new z");
    EXPECT_EQ(read_file(dest("n.txt")), "n");
    ASSERT_EQ(run.boxes.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run.boxes[static_cast<std::size_t>(i)].kind, BoxKind::yes_no_cancel);
        EXPECT_EQ(run.boxes[static_cast<std::size_t>(i)].title, u"上書き確認!?");
    }
    EXPECT_EQ(run.boxes[1].text, u"y.txt" + WideString(OVERWRITE_QUESTION));
    EXPECT_EQ(run.errors, u"y.txt >>スキップ！\n");
    EXPECT_NE(run.report.find(u"   >> スキップ\n"), WideString::npos);
    EXPECT_EQ(run.boxes[3].title, u"終了");
}

// Cancel ends its own archive as finished; the next archive is extracted.
TEST_F(ZipExtractTest, CancelEndsOnlyItsArchive) {
    write_file(dest("a.txt"), "old");
    const fs::path first = archive("first.zip", {Member("a.txt", "first a"), Member("b.txt", "first b")});
    const fs::path second = archive("second.zip", {Member("a.txt", "second a"), Member("c.txt", "second c")});
    const DecodeRun run = zip_decode({first, second}, default_options(), {BoxAnswer::cancel, BoxAnswer::yes});
    EXPECT_EQ(extracted(), (std::set<std::string>{"a.txt", "c.txt"}));
    EXPECT_EQ(read_file(dest("a.txt")), "second a");
    EXPECT_EQ(run.errors, u"a.txt >>中止！\n");
}

TEST_F(ZipExtractTest, CrcErrorKeepsTheFileAndItsTime) {
    Member bad("bad.txt", "checked content");
    bad.crc = crc32_of("checked content") ^ 1;
    Member good("good.txt", "fine", ZIP_METHOD_STORED);
    good.time = WINTER_STAMP;
    const DecodeRun run = zip_decode({archive("crc.zip", {bad, good})});
    EXPECT_EQ(read_file(dest("bad.txt")), "checked content");
    EXPECT_EQ(mtime_of(dest("bad.txt")), SUMMER_UTC);
    EXPECT_EQ(mtime_of(dest("good.txt")), WINTER_UTC);
    EXPECT_EQ(run.errors, u"bad.txt >> CRC error!\n");
    // One short error: a report file and the final box that names it.
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, u"終了");
    EXPECT_EQ(run.boxes[0].text, destination_header() + u"レポート: crc.zip_dec_err_report.txt");
    EXPECT_TRUE(fs::exists(dest("crc.zip_dec_err_report.txt")));
}

// Members larger than the output window are written by the second thread
// while the next runs are decoded; each file still gets all its bytes, its
// time (set after the last write) and its CRC verdict.
TEST_F(ZipExtractTest, LargeMembersKeepTheirBytesTimesAndCrcErrors) {
    std::string content(700001, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + (i * 7 + i / 1000) % 26);
    Member deflated("deflated.txt", content);
    deflated.time = WINTER_STAMP;
    Member bad("bad.txt", content);
    bad.crc = crc32_of(content) ^ 1;
    Member stored("stored.txt", content, ZIP_METHOD_STORED);
    stored.time = WINTER_STAMP;
    const DecodeRun run = zip_decode({archive("large.zip", {deflated, bad, stored})});
    for (const char* name : {"deflated.txt", "bad.txt", "stored.txt"}) EXPECT_EQ(read_file(dest(name)), content) << name;
    EXPECT_EQ(mtime_of(dest("deflated.txt")), WINTER_UTC);
    EXPECT_EQ(mtime_of(dest("bad.txt")), SUMMER_UTC);
    EXPECT_EQ(mtime_of(dest("stored.txt")), WINTER_UTC);
    EXPECT_EQ(run.errors, u"bad.txt >> CRC error!\n");
}

// Members after the one being written are decoded ahead on the second
// thread; what the user gets is what the driver alone gives, in order: the
// bytes, the times, a CRC error line for a member whose CRC is wrong, and a
// stored member whose recorded data size is short of its content (so its
// data runs into what follows, which only the driver reads) extracted whole.
// More members than the queue holds, so that it is topped up on the way.
TEST_F(ZipExtractTest, MembersDecodedAheadKeepTheirBytesTimesAndLines) {
    const auto name_of = [](std::size_t i) {
        std::string name = std::to_string(i);
        name.insert(0, 1, 'm');
        return name.append(".txt");
    };
    std::vector<Member> members;
    std::vector<ByteString> contents;
    WideString errors;
    for (std::size_t i = 0; i < 150; ++i) {
        ByteString content;
        // About 4 MiB in all: enough for the second thread to be started.
        for (std::size_t k = 0; k < 2000 + 370 * i; ++k) content += static_cast<char>('a' + (k * (i + 3) + k / 50) % 26);
        const std::string name = name_of(i);
        Member member(name, content, i % 3 == 0 ? ZIP_METHOD_STORED : ZIP_METHOD_DEFLATE);
        if (i % 2 == 0) member.time = WINTER_STAMP;
        if (i % 7 == 3) {
            member.crc = crc32_of(content) ^ 1;
            errors += WideString(name.begin(), name.end()) + u" >> CRC error!\n";
        }
        if (i % 9 == 6) member.compressed_size = static_cast<std::uint32_t>(content.size() - 3);
        members.push_back(member);
        contents.push_back(content);
    }
    const DecodeRun run = zip_decode({archive("many.zip", members)});
    for (std::size_t i = 0; i < members.size(); ++i) {
        const std::string name = name_of(i);
        EXPECT_EQ(read_file(dest(name)), contents[i]) << name;
        EXPECT_EQ(mtime_of(dest(name)), i % 2 == 0 ? WINTER_UTC : SUMMER_UTC) << name;
    }
    EXPECT_EQ(run.errors, errors);
}

// A member of a method not read is named in its error line and the members
// after it are extracted: the central directory says where they are.
TEST_F(ZipExtractTest, UnsupportedMethodIsSkippedWithItsName) {
    Member bzip2("two.txt", "not really bzip2", 12);
    bzip2.data = "not really bzip2";
    const DecodeRun run = zip_decode({archive("m12.zip", {Member("one.txt", "1"), bzip2, Member("three.txt", "3")})});
    EXPECT_EQ(extracted(), (std::set<std::string>{"one.txt", "three.txt"}));
    EXPECT_EQ(run.errors, u"two.txt >> 12 (BZIP2), this file-type is not support.\n");
}

// Python's zipfile and bsdtar store an empty file as the Deflate stream
// 03 00; the members after it must not be lost.
TEST_F(ZipExtractTest, EmptyDeflateMembersSitBetweenOthers) {
    Member empty("empty.txt", "");
    ASSERT_EQ(deflate_literals(""), ByteString("\x03\x00", 2));
    const DecodeRun run = zip_decode({archive("empty.zip", {Member("a.txt", "aaa"), empty, Member("b.txt", "bbb")})});
    EXPECT_EQ(extracted(), (std::set<std::string>{"a.txt", "b.txt", "empty.txt"}));
    EXPECT_EQ(read_file(dest("empty.txt")), "");
    EXPECT_EQ(read_file(dest("b.txt")), "bbb");
    EXPECT_EQ(run.errors, u"");
}

// A directory entry that carries bytes has them skipped, so that the next
// header is found.
TEST_F(ZipExtractTest, DataOfADirectoryEntryIsSkipped) {
    Member directory = directory_member("d/");
    directory.data = "junk";
    const DecodeRun run = zip_decode({archive("dirdata.zip", {directory, Member("d/e.txt", "e")})});
    EXPECT_EQ(extracted(), (std::set<std::string>{"d/", "d/e.txt"}));
    EXPECT_EQ(run.errors, u"");
}

TEST_F(ZipExtractTest, OutputThatCannotBeOpenedSkipsTheEntry) {
    fs::create_directory(dest("x"));
    const DecodeRun run = zip_decode({archive("open.zip", {Member("x", "file where a folder is"), Member("y", "y")})},
                                     default_options(), {BoxAnswer::yes});
    EXPECT_EQ(run.errors, u"x >>出力のオープンに失敗\n");
    EXPECT_TRUE(fs::is_directory(dest("x")));
    EXPECT_EQ(read_file(dest("y")), "y");
}

TEST_F(ZipExtractTest, MissingArchiveIsReportedWithItsPath) {
    const fs::path missing = scratch / "missing.zip";
    const DecodeRun run = zip_decode({missing, archive("ok.zip", {Member("ok.txt", "ok")})});
    EXPECT_EQ(run.errors, u"エラー: " + wide_of(fs::absolute(missing)) + u"\n  decode: file is not found.\n");
    EXPECT_TRUE(fs::exists(dest("ok.txt")));
}

// DOS stamps are local wall-clock time: in a zone with daylight saving a
// summer stamp is an hour further from UTC than a winter one.
TEST_F(ZipExtractTest, StampsAreLocalTimeWithDaylightSaving) {
#if defined(_WIN32)
    GTEST_SKIP() << "the Windows runtime takes its zone from the system, not from TZ";
#else
    Member summer("summer.txt", "s");
    summer.time = SUMMER_STAMP;
    Member winter("winter.txt", "w");
    winter.time = WINTER_STAMP;
    const fs::path zip = archive("times.zip", {summer, winter});
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    zip_decode({zip});
    const std::int64_t summer_time = mtime_of(dest("summer.txt"));
    const std::int64_t winter_time = mtime_of(dest("winter.txt"));
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(summer_time, SUMMER_UTC - 2 * 3600);  // CEST
    EXPECT_EQ(winter_time, WINTER_UTC - 1 * 3600);  // CET
#endif
}

// The hand-made hostile archives (tests/fixtures/hostile): each ends with
// the error it earns, or none, and leaves only what it may.
TEST_F(ZipExtractTest, HostileArchivesStayInsideAndEndCleanly) {
    // A stale Unicode path leaves the Shift-JIS name, read as a Japanese
    // system reads it.
    const test_common::AnsiCodePage japanese(932);
    struct Case {
        const char* file;
        const char* error;  // the thrown text, or the error line
        std::set<std::string> files;
    };
    const std::vector<Case> cases = {
        {"zip-trunc-local", "Zip内ファイル名の取得に失敗 >>スキップ\n", {}},
        {"zip-trunc-name", "Zip内ファイル名の取得に失敗 >>スキップ\n", {}},
        {"zip-namelen-past-end", "good.txt >> ローカルヘッダが見つからない >>スキップ！\n", {}},
        // A member whose data breaks off leaves no partial file behind.
        {"zip-trunc-deflate", "It finished on the way.", {}},
        {"zip-trunc-stored", "It finished on the way.", {}},
        {"zip-usize-wrong", "It finished on the way.", {}},
        {"zip-data-descriptor", "It finished on the way.", {}},
        {"zip-no-central", "セントラルディレクトリが壊れている >>ローカルヘッダから展開\n", {"good.txt"}},
        {"zip-end-record-only", "", {}},
        {"zip-bad-local-sig", "good.txt >> ローカルヘッダが見つからない >>スキップ！\n", {}},
        {"zip-bad-method", "bzip2.bin >> 12 (BZIP2), this file-type is not support.\n", {}},
        {"zip-csize-past-end", "far.txt >> 他のファイルとデータが重なっている >>スキップ！\n", {}},
        {"zip-bad-crc", "crc.txt >> CRC error!\n", {"crc.txt"}},
        {"zip-cd-outside", "セントラルディレクトリが壊れている >>ローカルヘッダから展開\n", {"good.txt"}},
        {"zip-cd-local-outside", "good.txt >> ローカルヘッダが見つからない >>スキップ！\n", {}},
        {"zip-cd-cut", "セントラルディレクトリが壊れている >>ローカルヘッダから展開\n", {"first.txt", "second.txt"}},
        {"zip-unlisted-local", "", {"first.txt", "second.txt"}},
        {"zip-overlap", "kernel.bin >> 他のファイルとデータが重なっている >>スキップ！\n", {}},
        {"zip-unicode-path", "", {"日本語.txt"}},
        {"zip-unicode-path-stale", "", {"日本語.txt"}},
        {"zip-encrypted", "secret.txt >> 暗号化されたファイルは展開できない >>スキップ！\n", {"plain.txt"}},
        {"zip-local-name-differs",
         "good.txt >> ローカルヘッダとセントラルディレクトリが不一致 >>スキップ！\n",
         {"plain.txt"}},
        {"zip-descriptor-differs",
         "dd.txt >> データディスクリプタがセントラルディレクトリと不一致\n",
         {"dd.txt", "plain.txt"}},
        {"zip-deflate-far-distance",
         "decode_entry: a match reaches back before the entry's first byte.(illegal data.)",
         {}},
        {"zip-deflate-btype3", "Outside of the support range.(illegal data.)", {}},
        {"zip-deflate-bad-nlen", "illegal data.", {}},
        {"zip-deflate-oversubscribed", "BitPatternTable: bit-pattern cannot be made.", {}},
        {"zip-deflate-no-final", "illegal data.", {}},
        {"zip-dotdot", "", {".._evil"}},
        {"zip-dotdot-backslash", "", {".._evil"}},
        {"zip-dotdot-deep", "", {"a/", "a/.._._/", "a/.._._/evil"}},
        {"zip-dotdot-utf8", "", {".._日本語"}},
        {"zip-abs-unix", "", {"_etc/", "_etc/x"}},
        {"zip-abs-dos", "", {"C_/", "C_/x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        new_destination(c.file);
        const DecodeRun run = zip_decode({source_path(std::string("tests/fixtures/hostile/") + c.file + ".zip")});
        EXPECT_EQ(extracted(), c.files);
        const std::string errors = utf8_of(run.errors);
        if (*c.error == '\0') {
            EXPECT_EQ(errors, "");
        } else {
            EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
        }
        EXPECT_EQ(beside_destination(), (std::set<std::string>{"dest"}));
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_EQ(run.boxes.back().title, u"終了");
    }
}

}  // namespace
