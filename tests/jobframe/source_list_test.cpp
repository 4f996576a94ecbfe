// Proves the source-file walk of a create job on real trees: depth first in
// the order the file system enumerates, records relative to the directory
// of each dropped path, one shared node per directory and an own node for
// an empty directory's record; change directories exactly where the
// driver's current directory has to move; skipped paths (missing, ending
// in a separator, in a directory that cannot be entered) leave no trace and
// do not shift the change directories of later paths; and the archive name
// derived from the first path or made full from the given one.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "file_system.h"
#include "job_fixture.h"
#include "source_entries.h"
#include "source_list.h"

namespace {

using namespace jobframe_test;

class SourceListWalk : public FreshJobTest<> {
protected:
    void SetUp() override {
        FreshJobTest::SetUp();
        job_state().create_mode = true;
        ASSERT_TRUE(setup_job(&options));
        start = job_state().start_directory;
        ASSERT_FALSE(start.empty());
    }

    // A path below the start directory, as the launcher passes it.
    WideString at_start(const WideString& relative) const { return start + u"/" + relative; }

    void make_tree() {
        // docs/a.txt, docs/sub/b.txt, docs/e (empty); top.txt beside docs.
        std::filesystem::create_directories(scratch.file(u"docs/sub"));
        std::filesystem::create_directories(scratch.file(u"docs/e"));
        scratch.make_file(u"docs/a.txt", "aa");
        scratch.make_file(u"docs/sub/b.txt", "bbb");
        scratch.make_file(u"top.txt", "t");
    }

    template <class Entry>
    SourceList<Entry> walk(const std::vector<const char16_t*>& paths, WideString archive = u"x.lzh") {
        SourceList<Entry> list;
        build_file_list<Entry>(static_cast<std::int32_t>(paths.size()), paths.data(), list, archive);
        WideString now;
        platform::current_directory(now);
        EXPECT_EQ(now, start) << "the walk must end in the start directory";
        return list;
    }

    ScratchDirectory scratch;
    ArchiveOptions options = make_options();
    WideString start;
};

// The records a depth-first walk of `relative` (below the scratch
// directory) must give, in the order the file system enumerates: files, and
// empty directories with a final "/".
void expected_walk(const std::filesystem::path& root, const WideString& relative, std::vector<WideString>& out) {
    const std::filesystem::path here = root / std::filesystem::path(relative);
    if (!std::filesystem::is_directory(here)) {
        out.push_back(relative);
        return;
    }
    std::vector<WideString> names;
    for (const auto& item : std::filesystem::directory_iterator(here)) {
        names.push_back(item.path().filename().generic_u16string());
    }
    if (names.empty()) {
        out.push_back(relative + u"/");
    }
    for (const WideString& name : names) {
        expected_walk(root, relative + u"/" + name, out);
    }
}

TEST(SourceListText, DirectoryPathForm) {
    const std::pair<WideString, WideString> cases[] = {
        {u"", u""},         {u"docs", u"docs/"},  {u"docs/", u"docs/"},
        {u"a\\b", u"a/b/"}, {u"a\\b\\", u"a/b/"}, {u"a/b\\c", u"a/b/c/"},
    };
    for (const auto& [input, form] : cases) {
        EXPECT_EQ(directory_path_form(input), form) << testing::PrintToString(input);
    }
}

TEST(SourceListText, SplitAtTheLastSeparator) {
    struct Case {
        WideString full;
        bool stored;
        WideString directory;
        WideString leaf;
    };
    const Case cases[] = {
        {u"C:\\work\\docs", true, u"C:\\work", u"docs"},
        {u"/home/u/a.txt", true, u"/home/u", u"a.txt"},
        {u"C:\\work/mixed", true, u"C:\\work", u"mixed"},
        // A file in a root is read in the root itself, not in the drive's
        // current directory ("C:").
        {u"C:\\a.txt", true, u"C:\\", u"a.txt"},
        {u"c:/a.txt", true, u"c:/", u"a.txt"},
        {u"/a.txt", true, u"/", u"a.txt"},
        {u"\\\\server\\share\\f", true, u"\\\\server\\share", u"f"},
        // Nothing to store: a root, a trailing separator, no separator.
        {u"C:\\", false, u"", u""},
        {u"/", false, u"", u""},
        {u"C:\\work\\docs\\", false, u"", u""},
        {u"docs", false, u"", u""},
        {u"", false, u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.full));
        WideString directory, leaf;
        EXPECT_EQ(split_source_path(c.full, directory, leaf), c.stored);
        if (c.stored) {
            EXPECT_EQ(directory, c.directory);
            EXPECT_EQ(leaf, c.leaf);
        }
    }
}

TEST_F(SourceListWalk, ListDirectoryGivesTheFileSystemsOrder) {
    make_tree();
    std::vector<WideString> expected;
    for (const auto& item : std::filesystem::directory_iterator(scratch.file(u"docs"))) {
        expected.push_back(item.path().filename().generic_u16string());
    }
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(list_directory(u"docs/"), expected);
    EXPECT_EQ(list_directory(u"docs"), expected);
    EXPECT_EQ(list_directory(at_start(u"docs/")), expected);

    EXPECT_TRUE(list_directory(u"docs/e/").empty());
    EXPECT_TRUE(list_directory(u"").empty());
    EXPECT_TRUE(list_directory(u"gone/").empty());
    EXPECT_TRUE(list_directory(u"top.txt/").empty());
}

TEST_F(SourceListWalk, TreeIsWalkedDepthFirst) {
    make_tree();
    const WideString docs = at_start(u"docs");
    const SourceList<TreeEntry> list = walk<TreeEntry>({docs.c_str()});

    std::vector<WideString> expected;
    expected_walk(scratch.file(u""), u"docs", expected);
    ASSERT_EQ(expected.size(), 3u);
    ASSERT_EQ(list.size(), expected.size());
    std::shared_ptr<TreeNode> docs_node;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TreeEntry& entry = list[i];
        SCOPED_TRACE(testing::PrintToString(expected[i]));
        EXPECT_EQ(entry.examined.path, expected[i]);
        // Read in the directory that held docs, which is the start
        // directory: no change directory.
        EXPECT_EQ(entry.examined.read_in, start);
        EXPECT_TRUE(entry.change_directory.empty());
        ASSERT_TRUE(entry.parent);
        if (expected[i] == u"docs/a.txt") {
            EXPECT_EQ(entry.parent->path, u"docs/");
            EXPECT_EQ(entry.examined.size, 2);
            docs_node = entry.parent;
        } else if (expected[i] == u"docs/sub/b.txt") {
            EXPECT_EQ(entry.parent->path, u"docs/sub/");
            EXPECT_EQ(entry.examined.size, 3);
        } else {
            // The empty directory's own record holds its own node.
            EXPECT_EQ(expected[i], u"docs/e/");
            EXPECT_TRUE(entry.is_directory());
            EXPECT_EQ(entry.parent->path, u"docs/e/");
        }
    }
    ASSERT_TRUE(docs_node);

    // Files directly in one directory share one node; the nodes outlive the
    // walk for as long as the records hold them.
    scratch.make_file(u"docs/sub/c.txt", "c");
    const SourceList<TreeEntry> again = walk<TreeEntry>({docs.c_str()});
    std::vector<const TreeNode*> sub_nodes;
    for (const TreeEntry& entry : again) {
        if (entry.parent->path == u"docs/sub/") {
            sub_nodes.push_back(entry.parent.get());
        }
    }
    ASSERT_EQ(sub_nodes.size(), 2u);
    EXPECT_EQ(sub_nodes[0], sub_nodes[1]);
}

TEST_F(SourceListWalk, DroppedFilesAndEmptyDirectory) {
    make_tree();
    const WideString a = at_start(u"docs/a.txt");
    const WideString e = at_start(u"docs/e");
    const WideString top = at_start(u"top.txt");
    const SourceList<TreeEntry> list = walk<TreeEntry>({a.c_str(), e.c_str(), top.c_str()});
    const WideString docs = full_path_of(at_start(u"docs"));

    ASSERT_EQ(list.size(), 3u);
    // A dropped file has no parent node; it is named from its own directory.
    EXPECT_EQ(list[0].examined.path, u"a.txt");
    EXPECT_FALSE(list[0].parent);
    EXPECT_EQ(list[0].change_directory, docs);
    EXPECT_EQ(list[0].examined.read_in, docs);
    // A dropped empty directory: its own record with its own node, read in
    // the same directory, so no second change.
    EXPECT_EQ(list[1].examined.path, u"e/");
    ASSERT_TRUE(list[1].parent);
    EXPECT_EQ(list[1].parent->path, u"e/");
    EXPECT_TRUE(list[1].change_directory.empty());
    // Back in the start directory: the driver has to change back too.
    EXPECT_EQ(list[2].examined.path, u"top.txt");
    EXPECT_EQ(list[2].change_directory, start);
    EXPECT_EQ(list[2].examined.read_in, start);
}

TEST_F(SourceListWalk, ChangeDirectoriesOfSeveralDirectories) {
    std::filesystem::create_directories(scratch.file(u"one"));
    std::filesystem::create_directories(scratch.file(u"two"));
    scratch.make_file(u"one/a.txt", "1");
    scratch.make_file(u"two/b.txt", "22");
    scratch.make_file(u"two/c.txt", "333");
    const WideString one = full_path_of(at_start(u"one"));
    const WideString two = full_path_of(at_start(u"two"));

    struct Case {
        const char* what;
        std::vector<WideString> paths;
        // Per record: its path and its change directory.
        std::vector<std::pair<WideString, WideString>> records;
    };
    const Case cases[] = {
        {"each directory once",
         {at_start(u"one/a.txt"), at_start(u"two/b.txt"), at_start(u"two/c.txt")},
         {{u"a.txt", one}, {u"b.txt", two}, {u"c.txt", u""}}},
        {"back and forth",
         {at_start(u"two/b.txt"), at_start(u"one/a.txt"), at_start(u"two/c.txt")},
         {{u"b.txt", two}, {u"a.txt", one}, {u"c.txt", two}}},
        // Relative paths name what they name from the start directory,
        // whichever directory the walk is in when it reaches them.
        {"relative paths",
         {u"two/b.txt", u"one/a.txt", u"two/c.txt"},
         {{u"b.txt", two}, {u"a.txt", one}, {u"c.txt", two}}},
        // A path that adds nothing moves the walk but not the driver: the
        // next record read in that directory still carries it.
        {"missing first path of a directory", {at_start(u"two/none.txt"), at_start(u"two/b.txt")}, {{u"b.txt", two}}},
        {"missing path between two of one directory",
         {at_start(u"one/a.txt"), at_start(u"two/none.txt"), at_start(u"one/a.txt")},
         {{u"a.txt", one}, {u"a.txt", u""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<const char16_t*> paths;
        for (const WideString& p : c.paths) {
            paths.push_back(p.c_str());
        }
        const SourceList<TreeEntry> list = walk<TreeEntry>(paths);
        ASSERT_EQ(list.size(), c.records.size());
        // Replaying the change directories from the start directory puts
        // the driver where the walk examined each record.
        WideString driver = start;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].examined.path, c.records[i].first);
            EXPECT_EQ(list[i].change_directory, c.records[i].second);
            if (!list[i].change_directory.empty()) {
                driver = list[i].change_directory;
            }
            EXPECT_EQ(driver, list[i].examined.read_in);
        }
    }
}

TEST_F(SourceListWalk, SkippedPathsLeaveNoTrace) {
    make_tree();
    // A file of the same name in the start directory must not stand in for
    // one in a directory that does not exist.
    const WideString in_missing_directory = at_start(u"gone/top.txt");
    const WideString trailing = at_start(u"docs/");
    const WideString trailing_back = at_start(u"docs\\");
    const WideString missing = at_start(u"none.txt");
    // A root ends in its separator: skipped, never enumerated.
    const WideString root = std::filesystem::path(scratch.path()).root_path().generic_u16string();
    const SourceList<TreeEntry> list =
        walk<TreeEntry>({in_missing_directory.c_str(), trailing.c_str(), trailing_back.c_str(), missing.c_str(),
                         nullptr, u"", root.c_str()});
    EXPECT_TRUE(list.empty());

    // After them, a path in the start directory is read there, with no
    // change directory: the driver never left it.
    const WideString top = at_start(u"top.txt");
    const SourceList<TreeEntry> after = walk<TreeEntry>({in_missing_directory.c_str(), top.c_str()});
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].examined.path, u"top.txt");
    EXPECT_EQ(after[0].examined.size, 1);
    EXPECT_TRUE(after[0].change_directory.empty());
}

TEST_F(SourceListWalk, RecordWithoutParentThroughItsTraits) {
    make_tree();
    const WideString docs = at_start(u"docs");
    const WideString a = at_start(u"docs/sub/b.txt");
    const SourceList<FlatEntry> list = walk<FlatEntry>({docs.c_str(), a.c_str()});

    std::vector<WideString> expected;
    expected_walk(scratch.file(u""), u"docs", expected);
    expected.push_back(u"b.txt");
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].examined.path, expected[i]);
    }
    EXPECT_TRUE(list.front().directory.empty());
    EXPECT_EQ(list.back().directory, full_path_of(at_start(u"docs/sub")));
}

// ---- the archive name ------------------------------------------------------------

TEST_F(SourceListWalk, ArchiveName) {
    make_tree();
    // The platform's own separator, as its full paths have it.
    const char16_t separator = start.find(u'\\') != WideString::npos ? u'\\' : u'/';
    const auto native = [&](WideString relative) {
        for (char16_t& c : relative) {
            if (c == u'/') c = separator;
        }
        return start + separator + relative;
    };
    struct Case {
        const char* what;
        std::vector<WideString> paths;
        WideString given;
        WideString name;
    };
    const Case cases[] = {
        {"one file", {at_start(u"top.txt")}, u"", start + u"/top.txt"},
        {"one folder", {at_start(u"docs")}, u"", start + u"/docs"},
        {"folder with a final separator", {at_start(u"docs/")}, u"", start + u"/docs"},
        {"relative first path", {u"docs/sub/.."}, u"", start + u"/docs"},
        {"several paths", {at_start(u"top.txt"), at_start(u"docs")}, u"", start + u"/top.txt~~"},
        // The first path names it even when it is skipped.
        {"several, first missing", {at_start(u"none"), at_start(u"docs")}, u"", start + u"/none~~"},
        // A drive root gives its letter: "C:" in a file name would be a
        // stream of a file "C".
        {"drive root", {u"C:\\"}, u"", start + u"/C"},
        {"given, relative", {at_start(u"docs")}, u"out/arc.dat", native(u"out/arc.dat")},
        {"given, full", {at_start(u"docs")}, at_start(u"docs.zip"), native(u"docs.zip")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<const char16_t*> paths;
        for (const WideString& p : c.paths) {
            paths.push_back(p.c_str());
        }
        WideString name = c.given;
        settle_archive_name(static_cast<std::int32_t>(paths.size()), paths.data(), name);
        EXPECT_EQ(name, c.name);
    }
    // The given archive's missing directory was made.
    EXPECT_TRUE(scratch.is_directory(u"out"));
}

TEST_F(SourceListWalk, ArchiveNameAtTheEdges) {
    const WideString file = at_start(u"f");
    const char16_t* paths[] = {file.c_str()};

    // A start directory that ends in a separator gets no second one.
    job_state().start_directory = start + u"/";
    WideString name;
    settle_archive_name(1, paths, name);
    EXPECT_EQ(name, start + u"/f");

    // Without a start directory there is no name (it would be in the root).
    job_state().start_directory.clear();
    name.clear();
    settle_archive_name(1, paths, name);
    EXPECT_TRUE(name.empty());

    // Missing parents of a given name are made, all of them.
    name = u"deep/er/x.lzh";
    settle_archive_name(1, paths, name);
    EXPECT_TRUE(scratch.is_directory(u"deep/er"));
    EXPECT_FALSE(scratch.exists(u"deep/er/x.lzh"));
}

}  // namespace
