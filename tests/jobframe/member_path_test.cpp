// Proves the steps from a member's stored names to its output path that
// both libraries share: the parts decoded in order (a later part of a kind
// replaces an earlier one), the LZH split of a name's directories, the last
// check on the path before a file is created and its directory part; and
// that MS-DOS stamps keep their fields.
#include <gtest/gtest.h>

#include "date_record.h"
#include "job_fixture.h"
#include "member_path.h"
#include "stored_name.h"

namespace {

using namespace jobframe_test;

NamePart name_part(const ByteString& bytes, bool directory = false) { return {bytes, 0, 0, directory, u""}; }

TEST(MemberPath, PartsAreDecodedInOrderAndSplitOnRequest) {
    reset_job_state();
    struct Case {
        const char* what;
        std::vector<NamePart> parts;
        bool split;
        WideString name;
        WideString directory;
    };
    const std::vector<Case> cases = {
        {"a later name replaces the first", {name_part("old"), name_part("new")}, false, u"new", u""},
        {"unsplit names keep their directories", {name_part("a/b.txt")}, false, u"a/b.txt", u""},
        {"split moves them into the directory", {name_part("a/b.txt")}, true, u"b.txt", u"a/"},
        {"the directory gets its last separator", {name_part("f"), name_part("d", true)}, true, u"f", u"d/"},
        {"both: directory first, then the name's", {name_part("x\\y", true), name_part("z/f")}, true, u"f", u"x/y/z/"},
        {"no parts, no path", {}, true, u"", u""},
    };
    for (const Case& c : cases) {
        const MemberPath path = decode_member_path(c.parts, c.split);
        EXPECT_EQ(path.name, c.name) << c.what;
        EXPECT_EQ(path.directory, c.directory) << c.what;
    }
}

TEST(MemberPath, ReportShowsEachPartUnderItsLabel) {
    reset_job_state();
    job_state().report_on = true;
    decode_member_path({{"a", 0, 0, false, u"H01: "}, {"d", 0, 0, true, u" └H02(dir): "}}, true);
    EXPECT_EQ(job_state().report_text, u"H01: 61\n └Ascii: a\n └H02(dir): 64\n └Ascii: d\n");
    reset_job_state();
}

TEST(MemberPath, OnlyRelativePathsWithoutDotComponentsAreSafe) {
    const std::vector<std::pair<WideString, bool>> cases = {
        {u"a.txt", true}, {u"d/e/f", true},   {u"d\\e", true},      {u"a/", true},   {u"..a/b", true},
        {u"", false},     {u"/abs", false},   {u"\\abs", false},    {u"c:x", false}, {u"a/../b", false},
        {u"..", false},   {u"a/. /b", false}, {u"a\\..\\b", false}, {u"a/.", false},
    };
    for (const auto& [path, safe] : cases) EXPECT_EQ(is_safe_output_path(path), safe) << testing::PrintToString(path);
}

TEST(MemberPath, DirectoryPartEndsAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(output_directory_of(u"a/b\\c.txt"), u"a/b\\");
    EXPECT_EQ(output_directory_of(u"a\\b/"), u"a\\b/");
    EXPECT_EQ(output_directory_of(u"c.txt"), u"");
    EXPECT_TRUE(ends_with_separator(u"d\\"));
    EXPECT_FALSE(ends_with_separator(u""));
}

TEST(DosTime, FieldsSurviveTheStamp) {
    const DateRecord time{2107, 12, 31, 23, 59, 58};
    const std::uint32_t stamp = dos_stamp_of(time);
    EXPECT_EQ(stamp, 0xFF9FBF7Du);
    const DateRecord back = dos_time_of(stamp);
    EXPECT_EQ(back.year, 2107);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 31);
    EXPECT_EQ(back.hour, 23);
    EXPECT_EQ(back.minute, 59);
    EXPECT_EQ(back.second, 58);
    EXPECT_EQ(dos_time_of(dos_stamp_of({1980, 1, 1, 0, 0, 1})).second, 0);   // two-second steps
    EXPECT_EQ(dos_time_of(dos_stamp_of({1979, 6, 1, 0, 0, 0})).year, 2107);  // 7 bits after 1980
}

}  // namespace
