// Proves that DirPath normalises a directory path and that make() creates
// the directory with every missing parent, outermost first, and fails when
// a file is in the way.
#include <gtest/gtest.h>

#include "dir_path.h"
#include "job_fixture.h"

namespace {

using namespace jobframe_test;

TEST(DirPath, NormalisesSeparators) {
    ScratchDirectory scratch;
    const std::pair<WideString, WideString> cases[] = {
        {u"", u""}, {u"a", u"a/"}, {u"a\\b", u"a/b/"}, {u"a/b/", u"a/b/"}, {u"a\\b\\", u"a/b/"},
        {u"\u3042/\u3044", u"\u3042/\u3044/"},
    };
    for (const auto& [given, normal] : cases) {
        const DirPath dir(given);
        EXPECT_EQ(dir.path, normal);
        EXPECT_FALSE(dir.exists);
    }
}

TEST(DirPath, MakesMissingParents) {
    ScratchDirectory scratch;
    DirPath dir(u"a\\b");
    EXPECT_TRUE(dir.make());
    EXPECT_TRUE(dir.exists);
    EXPECT_TRUE(scratch.is_directory(u"a"));
    EXPECT_TRUE(scratch.is_directory(u"a/b"));

    DirPath deep(u"p/q/r/s/t/\u30D5\u30A9\u30EB\u30C0/");
    EXPECT_TRUE(deep.make());
    EXPECT_TRUE(scratch.is_directory(u"p/q/r/s/t/\u30D5\u30A9\u30EB\u30C0"));

    // An absolute path walks up to the scratch directory, which exists.
    DirPath absolute(scratch.path() + u"/x/y");
    EXPECT_TRUE(absolute.make());
    EXPECT_TRUE(scratch.is_directory(u"x/y"));
}

TEST(DirPath, ExistingDirectoryIsLeftAlone) {
    ScratchDirectory scratch;
    std::filesystem::create_directory(scratch.file(u"x"));
    scratch.make_file(u"x/keep");
    DirPath dir(u"x/");
    EXPECT_TRUE(dir.exists);
    EXPECT_TRUE(dir.make());
    EXPECT_EQ(scratch.read(u"x/keep"), "x");

    DirPath none(u"");
    EXPECT_TRUE(none.make());
}

TEST(DirPath, FileInTheWayFails) {
    ScratchDirectory scratch;
    scratch.make_file(u"f");
    DirPath same(u"f");
    EXPECT_FALSE(same.exists);
    EXPECT_FALSE(same.make());
    DirPath below(u"f/sub/deeper");
    EXPECT_FALSE(below.make());
    EXPECT_FALSE(below.exists);
    EXPECT_FALSE(scratch.is_directory(u"f/sub"));
    EXPECT_EQ(scratch.read(u"f"), "x");
}

}  // namespace
