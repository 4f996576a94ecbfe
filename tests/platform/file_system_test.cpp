// The file-system functions of the support library on the real file
// system: path kinds and existence, absolute paths split into directory and
// name, creation of directories with their missing parents, the bytes of
// report files, directory listings, file times, and (on Linux) names that
// are not valid UTF-8.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "file_system.h"
#include "platform.h"
#include "test_files.h"

namespace {

namespace fs = test_files::fs;
using test_files::CurrentDirectoryGuard;
using test_files::ScratchDirectory;

#ifdef _WIN32
const WideString SEP = u"\\";
#else
const WideString SEP = u"/";
#endif

TEST(PathKind, TellsFilesDirectoriesAndMissingPathsApart) {
    ScratchDirectory scratch;
    test_files::write_bytes(scratch / "file.txt", "x");
    fs::create_directory(scratch / "dir");

    const struct {
        WideString path;
        int kind;
        int exists;
    } cases[] = {
        {scratch.wide(u"file.txt"), PATH_FILE, 1},
        {scratch.wide(u"dir"), PATH_DIRECTORY, -2},
        {scratch.wide(u"missing"), PATH_MISSING, 0},
        {scratch.wide(u"file.txt") + SEP + u"below", PATH_MISSING, 0},
        // Wildcards and a bare drive name never name anything.
        {scratch.wide(u"fi?e.txt"), PATH_MISSING, 0},
        {scratch.wide(u"*"), PATH_MISSING, 0},
        {u"C:", PATH_MISSING, 0},
        {u"", PATH_MISSING, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(path_kind_of(c.path.c_str()), c.kind) << testing::PrintToString(c.path);
        EXPECT_EQ(path_exists(c.path.c_str()), c.exists) << testing::PrintToString(c.path);
    }
    EXPECT_EQ(path_kind_of(nullptr), PATH_MISSING);
    EXPECT_EQ(path_exists(nullptr), 0);
#ifndef _WIN32
    // Both separators reach the file system as "/".
    const WideString backslashed = scratch.wide() + u"\\dir";
    EXPECT_EQ(path_kind_of(backslashed.c_str()), PATH_DIRECTORY);
    EXPECT_EQ(path_kind_of(u"/dev/null"), PATH_OTHER);
    EXPECT_EQ(path_exists(u"/dev/null"), 1);
#endif
}

TEST(FullPathAndName, SplitsTheAbsolutePathAtItsLastSeparator) {
    ScratchDirectory scratch;
    CurrentDirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    WideString cwd;
    const int length = current_directory(cwd);
    EXPECT_EQ(length, static_cast<int>(cwd.size()));
    EXPECT_EQ(cwd, fs::current_path().u16string());

    WideString path = u"sub/../file.txt", name = u"old";
    EXPECT_FALSE(full_path_and_name(path, name));
    EXPECT_EQ(path, cwd);
    EXPECT_EQ(name, u"file.txt");
    EXPECT_EQ(full_path_of(u"a/./b"), cwd + SEP + u"a" + SEP + u"b");

    // A path that ends in a separator has no name part; name is left alone.
    path = u"dir/";
    name = u"old";
    EXPECT_TRUE(full_path_and_name(path, name));
    EXPECT_EQ(path, cwd + SEP + u"dir" + SEP);
    EXPECT_EQ(name, u"old");

    path = u"";
    EXPECT_TRUE(full_path_and_name(path, name));
    EXPECT_EQ(path, u"");
    EXPECT_EQ(full_path_of(u""), u"");
}

TEST(MakeDirectories, CreatesEveryMissingParent) {
    ScratchDirectory scratch;
    const WideString deep = scratch.wide() + SEP + u"x" + SEP + u"y" + SEP + u"z";
    EXPECT_TRUE(make_directories(deep));
    EXPECT_EQ(path_kind_of(deep.c_str()), PATH_DIRECTORY);
    // Existing directories, with or without one trailing separator.
    EXPECT_TRUE(make_directories(deep));
    EXPECT_TRUE(make_directories(deep + SEP));
    // Mixed separators work on both platforms.
    EXPECT_TRUE(make_directories(scratch.wide() + u"/m\\n/o"));
    EXPECT_TRUE(fs::is_directory(scratch / "m" / "n" / "o"));
    // Non-ASCII names.
    EXPECT_TRUE(make_directories(scratch.wide() + SEP + u"展開先" + SEP + u"ディレクトリ"));
    EXPECT_TRUE(fs::is_directory(scratch.path() / fs::path(u"展開先") / fs::path(u"ディレクトリ")));
}

TEST(MakeDirectories, FailsWhereNoDirectoryCanBe) {
    ScratchDirectory scratch;
    test_files::write_bytes(scratch / "file", "x");
    const WideString file = scratch.wide(u"file");
    EXPECT_FALSE(make_directories(file));
    EXPECT_FALSE(make_directories(file + SEP + u"below"));
    EXPECT_FALSE(make_directories(u""));
    // Two trailing separators leave an empty last segment.
    EXPECT_FALSE(make_directories(scratch.wide(u"two") + SEP + SEP));
    // A single relative segment has no parent part to stand on.
    CurrentDirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    EXPECT_FALSE(make_directories(u"alone"));
    EXPECT_TRUE(make_directories(u"./alone"));
    // A path longer than any path buffer is refused without deep recursion.
    WideString endless = scratch.wide();
    while (endless.size() < 200000) endless += SEP + u"d";
    EXPECT_FALSE(make_directories(endless));
}

TEST(MakeDirectories, CountsARootAsExisting) {
#ifdef _WIN32
    EXPECT_TRUE(make_directories(u"C:\\"));
    EXPECT_TRUE(make_directories(u"C:"));
    EXPECT_TRUE(make_directories(u"C:\\windows"));
#else
    EXPECT_TRUE(make_directories(u"/"));
    EXPECT_TRUE(make_directories(u"/tmp"));
#endif
}

TEST(WriteReportFile, WritesAsciiAsBytesAndAnythingElseAsUtf8WithAMark) {
    ScratchDirectory scratch;
    const WideString file = scratch.wide(u"report.txt");

    EXPECT_TRUE(write_report_file(u"abc", file, false));
    EXPECT_EQ(test_files::read_bytes(scratch / "report.txt"), "abc");

    // Line ends are kept as they are: no CR is added.
    EXPECT_TRUE(write_report_file(u"line 1\nline 2\r\n", file, false));
    EXPECT_EQ(test_files::read_bytes(scratch / "report.txt"), "line 1\nline 2\r\n");

    // A shorter text truncates what was there.
    EXPECT_TRUE(write_report_file(u"展開先: C:\\\n", file, false));
    EXPECT_EQ(test_files::read_bytes(scratch / "report.txt"),
              "\xEF\xBB\xBF\xE5\xB1\x95\xE9\x96\x8B\xE5\x85\x88: C:\\\n");
}

TEST(WriteReportFile, RefusesEmptyInputsExistingFilesAndUnwritablePaths) {
    ScratchDirectory scratch;
    const WideString file = scratch.wide(u"report.txt");
    EXPECT_FALSE(write_report_file(u"", file, false));
    EXPECT_FALSE(fs::exists(scratch / "report.txt"));
    EXPECT_FALSE(write_report_file(u"abc", u"", false));

    test_files::write_bytes(scratch / "report.txt", "old");
    EXPECT_FALSE(write_report_file(u"new", file, true));
    EXPECT_EQ(test_files::read_bytes(scratch / "report.txt"), "old");
    // A directory of that name counts as present too.
    fs::create_directory(scratch / "dir.txt");
    EXPECT_FALSE(write_report_file(u"new", scratch.wide(u"dir.txt"), true));
    EXPECT_FALSE(write_report_file(u"new", scratch.wide(u"dir.txt"), false));

    EXPECT_FALSE(write_report_file(u"abc", scratch.wide(u"missing") + SEP + u"report.txt", false));
    EXPECT_TRUE(write_report_file(u"new", scratch.wide(u"fresh.txt"), true));
}

TEST(PlatformFiles, ListsADirectoryWithoutDotEntries) {
    ScratchDirectory scratch;
    test_files::write_bytes(scratch / "a.txt", "a");
    test_files::write_bytes(scratch / fs::path(u"日本.txt"), "b");
    fs::create_directory(scratch / "sub");

    std::vector<platform::DirectoryItem> items;
    ASSERT_TRUE(platform::list_directory(scratch.wide(), items));
    ASSERT_EQ(items.size(), 3u);
    int directories = 0;
    bool saw_japanese = false;
    for (const auto& item : items) {
        EXPECT_NE(item.name, u".");
        EXPECT_NE(item.name, u"..");
        if (item.is_directory) {
            ++directories;
            EXPECT_EQ(item.name, u"sub");
        }
        if (item.name == u"日本.txt") saw_japanese = true;
    }
    EXPECT_EQ(directories, 1);
    EXPECT_TRUE(saw_japanese);

    items.clear();
    EXPECT_FALSE(platform::list_directory(scratch.wide(u"missing"), items));
    EXPECT_FALSE(platform::list_directory(u"", items));
    EXPECT_TRUE(items.empty());
}

TEST(PlatformFiles, SetsAndReadsModificationTimes) {
    ScratchDirectory scratch;
    test_files::write_bytes(scratch / "f", "12345");
    const WideString file = scratch.wide(u"f");
    // 2001-02-03 04:05:06 UTC, an even second as archive times are.
    const std::int64_t when = 981173106;
    ASSERT_TRUE(platform::set_file_time(file, when));
    platform::FileStatus status;
    ASSERT_EQ(platform::file_status(file, status), platform::StatResult::ok);
    EXPECT_TRUE(status.is_regular);
    EXPECT_EQ(status.size, 5);
    EXPECT_EQ(status.modification_time, when);
    EXPECT_FALSE(platform::set_file_time(scratch.wide(u"missing"), when));

    // Local time there and back, at noon, away from any daylight-saving
    // change, whatever the time zone.
    for (const std::int64_t noon : {std::int64_t{981201600}, std::int64_t{994766400}}) {
        platform::LocalTime local;
        ASSERT_TRUE(platform::to_local_time(noon, local));
        std::int64_t back = 0;
        ASSERT_TRUE(platform::from_local_time(local, back));
        EXPECT_EQ(back, noon);
    }
}

TEST(PlatformFiles, OpensAndRemovesFilesByWideName) {
    ScratchDirectory scratch;
    const WideString file = scratch.wide(u"ファイル.bin");
    std::FILE* out = platform::open_file(file, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("data", out);
    std::fclose(out);
    EXPECT_EQ(test_files::read_bytes(scratch / fs::path(u"ファイル.bin")), "data");
    EXPECT_TRUE(platform::remove_file(file));
    EXPECT_FALSE(platform::remove_file(file));
    EXPECT_EQ(platform::open_file(file, "rb"), nullptr);
    // A directory is no file to read.
    EXPECT_EQ(platform::open_file(scratch.wide(), "rb"), nullptr);
}

#ifndef _WIN32
TEST(PlatformFiles, NamesGoToDiskAsUtf8AndComeBackWhole) {
    // ASCII runs of every length next to two-, three- and four-byte
    // characters; a "\\" in a path is a separator.
    struct Case {
        WideString name;      // as given to the platform
        std::string on_disk;  // the bytes of the name it makes
        WideString listed;    // as the listing hands it back
    };
    const std::vector<Case> cases = {
        {u"plain.txt", "plain.txt", u"plain.txt"},
        {u"\u00e9t\u00e9", "\xC3\xA9t\xC3\xA9", u"\u00e9t\u00e9"},
        {u"a\u65e5\u672c\u8a9eb.bin",
         "a\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"
         "b.bin",
         u"a\u65e5\u672c\u8a9eb.bin"},
        {u"\U0001F38C-long ascii tail after a pair", "\xF0\x9F\x8E\x8C-long ascii tail after a pair",
         u"\U0001F38C-long ascii tail after a pair"},
        {u"sub\\inner.txt", "sub/inner.txt", u"inner.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.on_disk));
        ScratchDirectory scratch;
        fs::create_directory(scratch.path() / "sub");
        std::FILE* out = platform::open_file(scratch.wide() + u"/" + c.name, "wb");
        ASSERT_NE(out, nullptr);
        std::fclose(out);
        EXPECT_TRUE(fs::is_regular_file(scratch.path() / c.on_disk));
        const fs::path folder = (scratch.path() / c.on_disk).parent_path();
        std::vector<platform::DirectoryItem> items;
        ASSERT_TRUE(platform::list_directory(folder.u16string(), items));
        std::vector<WideString> names;
        for (const auto& item : items) {
            if (item.name != u"sub") names.push_back(item.name);
        }
        EXPECT_EQ(names, std::vector<WideString>{c.listed});
    }
}

TEST(PlatformFiles, KeepsNamesThatAreNotUtf8) {
    // Bytes that no UTF-8 decoder accepts: a lone continuation byte, an
    // over-long "/", a surrogate in 3-byte form, a cut-off sequence.
    ScratchDirectory scratch;
    const std::string raw_name("bad\x80-\xC0\xAF-\xED\xA0\x80-\xE6\x97.txt");
    test_files::write_bytes(scratch.path() / raw_name, "raw");

    std::vector<platform::DirectoryItem> items;
    ASSERT_TRUE(platform::list_directory(scratch.wide(), items));
    ASSERT_EQ(items.size(), 1u);
    const WideString name = items[0].name;
    EXPECT_EQ(name.substr(0, 3), u"bad");
    EXPECT_EQ(name.substr(name.size() - 4), u".txt");

    // The listed name leads back to the same file.
    const WideString path = scratch.wide() + u"/" + name;
    EXPECT_EQ(path_kind_of(path.c_str()), PATH_FILE);
    std::FILE* in = platform::open_file(path, "rb");
    ASSERT_NE(in, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, in), 3u);
    std::fclose(in);
    EXPECT_EQ(std::string(buffer), "raw");
    WideString absolute;
    ASSERT_TRUE(platform::full_path(path, absolute));
    EXPECT_EQ(absolute, path);
}
#endif

}  // namespace
