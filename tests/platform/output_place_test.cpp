// Output places on a real destination with real links in it: every
// directory of a member's path is entered without following a link, a
// path that meets one is refused and names it, nothing is made outside,
// and what stands at the last name is told without following it; missing
// directories are made, and a file in the way stops the path.
#include <gtest/gtest.h>

#include <algorithm>

#include "link_destination.h"
#include "output_place.h"

namespace {

using platform::NodeKind;
using test_files::LinkDestination;

TEST(OutputPlace, EntersDirectoriesWithoutFollowingLinks) {
    LinkDestination destination;
    REQUIRE_LINKS(destination);
    const struct {
        const char16_t* path;
        bool make;
        PlaceResult result;
        const char16_t* refused;  // after a refusal
        const char16_t* name;     // after ok
        NodeKind kind;            // after ok
    } cases[] = {
        {u"link/x.txt", true, PlaceResult::link, u"link", u"", NodeKind::error},
        {u"link/newdir/x.txt", true, PlaceResult::link, u"link", u"", NodeKind::error},
        {u"dangling/x.txt", true, PlaceResult::link, u"dangling", u"", NodeKind::error},
        {u"sub/deep/x.txt", true, PlaceResult::link, u"sub/deep", u"", NodeKind::error},
        {u"sub\\deep\\x.txt", false, PlaceResult::link, u"sub\\deep", u"", NodeKind::error},
        {u"file.txt/x.txt", true, PlaceResult::not_directory, u"file.txt", u"", NodeKind::error},
        {u"made/x.txt", false, PlaceResult::error, u"made", u"", NodeKind::error},
        {u"../outside/x.txt", true, PlaceResult::error, u"../outside/x.txt", u"", NodeKind::error},
        {u"sub/../../x.txt", true, PlaceResult::error, u"sub/../../x.txt", u"", NodeKind::error},
        {u"/x.txt", true, PlaceResult::error, u"/x.txt", u"", NodeKind::error},
        {u"C:x.txt", true, PlaceResult::error, u"C:x.txt", u"", NodeKind::error},
        // A link at the last name is the member's own name: entered fine,
        // and told as a link, whatever it points at.
        {u"link", true, PlaceResult::ok, u"", u"link", NodeKind::link},
        {u"dangling", true, PlaceResult::ok, u"", u"dangling", NodeKind::link},
        {u"filelink", true, PlaceResult::ok, u"", u"filelink", NodeKind::link},
        {u"sub/deep", true, PlaceResult::ok, u"", u"deep", NodeKind::link},
        {u"file.txt", false, PlaceResult::ok, u"", u"file.txt", NodeKind::file},
        {u"./sub//x.txt", false, PlaceResult::ok, u"", u"x.txt", NodeKind::missing},
        {u"sub/", false, PlaceResult::ok, u"", u"", NodeKind::directory},
        {u"new/deeper/x.txt", true, PlaceResult::ok, u"", u"x.txt", NodeKind::missing},
        {u"back\\slash\\x.txt", true, PlaceResult::ok, u"", u"x.txt", NodeKind::missing},
    };
    // Alone, and one after the other through one trail of open
    // directories, as an archive's members go: the same answers.
    for (const bool with_trail : {false, true}) {
        DirectoryTrail trail;
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::PrintToString(WideString(c.path)) + (with_trail ? " (trail)" : ""));
            if (!destination.seen(c.path)) continue;
            OutputPlace place;
            ASSERT_EQ(place.enter(c.path, c.make, with_trail ? &trail : nullptr), c.result);
            if (c.result == PlaceResult::ok) {
                EXPECT_NE(place.directory(), nullptr);
                EXPECT_EQ(place.name(), c.name);
                EXPECT_EQ(place.kind(), c.kind);
                EXPECT_TRUE(place.refused_part().empty());
            } else {
                EXPECT_EQ(place.directory(), nullptr);
                EXPECT_EQ(place.refused_part(), c.refused);
            }
            EXPECT_TRUE(destination.unchanged());
        }
    }
    // The made directories are real ones inside the destination; the
    // refused paths made nothing.
    EXPECT_TRUE(test_files::fs::is_directory(destination.dest() / "new" / "deeper"));
    EXPECT_TRUE(test_files::fs::is_directory(destination.dest() / "back" / "slash"));
    EXPECT_FALSE(test_files::fs::exists(destination.dest() / "made"));
}

// Missing directories are made outermost first; what stands is kept, and
// a file in the way stops the path where it stands.
TEST(OutputPlace, MakesMissingDirectoriesAndKeepsWhatStands) {
    test_files::ScratchDirectory scratch;
    test_files::CurrentDirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    test_files::fs::create_directory(scratch / "x");
    test_files::write_bytes(scratch / "x" / "keep", "kept");
    test_files::write_bytes(scratch / "f", "file");
    const struct {
        const char16_t* path;
        PlaceResult result;
        const char16_t* refused;
    } cases[] = {
        {u"a\\b\\", PlaceResult::ok, u""},
        {u"p/q/r/s/t/\u30D5\u30A9\u30EB\u30C0/", PlaceResult::ok, u""},
        {u"x/", PlaceResult::ok, u""},
        {u"", PlaceResult::ok, u""},
        {u"f/", PlaceResult::not_directory, u"f"},
        {u"f/sub/deeper/", PlaceResult::not_directory, u"f"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(WideString(c.path)));
        OutputPlace place;
        ASSERT_EQ(place.enter(c.path, true), c.result);
        EXPECT_EQ(place.refused_part(), c.refused);
        if (c.result == PlaceResult::ok) {
            EXPECT_EQ(place.kind(), NodeKind::directory);
            WideString made = c.path;
            std::replace(made.begin(), made.end(), u'\\', u'/');
            EXPECT_TRUE(test_files::fs::is_directory(scratch.path() / test_files::fs::path(made)));
        }
    }
    EXPECT_EQ(test_files::read_bytes(scratch / "x" / "keep"), "kept");
    EXPECT_EQ(test_files::read_bytes(scratch / "f"), "file");
    EXPECT_EQ(test_files::listing(scratch.path()), "a f p x");
}

TEST(OutputPlace, OpenParentKeepsOnlyTheLastNameFromBeingFollowed) {
    LinkDestination destination;
    REQUIRE_LINKS(destination);
    OutputPlace place;
    // The directory part is the user's and is followed.
    ASSERT_EQ(place.open_parent(u"link/target.txt"), PlaceResult::ok);
    EXPECT_EQ(place.kind(), NodeKind::file);
    ASSERT_EQ(place.open_parent(u"sub/deep"), PlaceResult::ok);
    EXPECT_EQ(place.kind(), NodeKind::link);
    ASSERT_EQ(place.open_parent((destination.dest() / "file.txt").u16string()), PlaceResult::ok);
    EXPECT_EQ(place.kind(), NodeKind::file);
    EXPECT_EQ(place.open_parent(u"sub/"), PlaceResult::error);
    EXPECT_EQ(place.open_parent(u"missing/x.txt"), PlaceResult::error);
}

}  // namespace

// Through a trail, a path leaves it where it differs, and paths deeper
// than the trail keeps are entered all the same; a place outlives the
// trail it came from.
TEST(OutputPlace, TrailFollowsTheMembersPaths) {
    test_files::ScratchDirectory scratch;
    test_files::CurrentDirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    WideString deep;
    for (std::size_t i = 0; i < DirectoryTrail::MAX_DEPTH + 8; ++i) deep += u"d/";
    OutputPlace kept;
    {
        DirectoryTrail trail;
        for (const WideString path : {u"a/b/c/1", u"a/b/c/2", u"a/x/3", u"a/b/c/4", u"b/5"}) {
            SCOPED_TRACE(testing::PrintToString(path));
            OutputPlace place;
            ASSERT_EQ(place.enter(path, true, &trail), PlaceResult::ok);
            ASSERT_EQ(place.kind(), NodeKind::missing);
            test_files::write_bytes(scratch.path() / test_files::fs::path(path), "x");
        }
        for (const WideString& path : {deep + u"e/6", deep + u"f/7", deep.substr(4) + u"8"}) {
            ASSERT_EQ(kept.enter(path, true, &trail), PlaceResult::ok);
            ASSERT_EQ(kept.kind(), NodeKind::missing);
        }
    }
    EXPECT_EQ(kept.name(), u"8");
    EXPECT_EQ(platform::node_kind_at(kept.directory(), u"d"), NodeKind::directory);
    EXPECT_EQ(test_files::listing(scratch.path() / "a"), "b x");
    EXPECT_EQ(test_files::listing(scratch.path() / "a" / "b" / "c"), "1 2 4");
    EXPECT_TRUE(test_files::fs::is_directory(scratch.path() / test_files::fs::path(deep) / "e"));
    EXPECT_TRUE(test_files::fs::is_directory(scratch.path() / test_files::fs::path(deep) / "f"));
}
