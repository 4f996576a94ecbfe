// Proves the path-text functions on both separators: extensions only in the
// last segment, names and parents with trailing separators, the in-place
// cuts, and that append_bounded never writes past its capacity.
#include <gtest/gtest.h>

#include <vector>

#include "path_text.h"

namespace {

// Pointer results as text, "<null>" for null.
WideString text_or_null(const char16_t* p) { return p == nullptr ? WideString(u"<null>") : WideString(p); }

TEST(FindExtension, Table) {
    const struct {
        const char16_t* path;
        const char16_t* expected;
    } cases[] = {
        {u"archive.lzh", u"lzh"},
        {u"archive.tar.gz", u"gz"},
        {u"C:\\dir.d\\file", u"<null>"},
        {u"/dir.d/file", u"<null>"},
        {u"C:\\dir.d\\file.zip", u"zip"},
        {u"name.", u"<null>"},
        {u".profile", u"profile"},
        {u"dir\\.profile", u"profile"},
        {u"dir.x\\", u"<null>"},
        {u"noext", u"<null>"},
        {u"", u"<null>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text_or_null(find_extension(c.path)), WideString(c.expected)) << testing::PrintToString(c.path);
    EXPECT_EQ(find_extension(nullptr), nullptr);

    const char16_t* path = u"a\\b.txt";
    EXPECT_EQ(find_extension(path), path + 4);  // points into the argument
}

TEST(FindFileName, Table) {
    const struct {
        const char16_t* path;
        const char16_t* expected;
    } cases[] = {
        {u"file.txt", u"file.txt"}, {u"C:\\a\\file.txt", u"file.txt"}, {u"/a/b/file", u"file"},
        {u"a\\b/c", u"c"},          {u"C:\\a\\", u"<null>"},           {u"\\", u"<null>"},
        {u"", u"<null>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text_or_null(find_file_name(c.path)), WideString(c.expected)) << testing::PrintToString(c.path);
    EXPECT_EQ(find_file_name(nullptr), nullptr);
}

TEST(FileNameOf, Table) {
    const struct {
        WideString path, expected;
    } cases[] = {
        {u"C:\\a\\b\\\\", u"b"}, {u"C:\\a\\b", u"b"}, {u"/x/y/", u"y"}, {u"name", u"name"},
        {u"name//", u"name"},    {u"\\", u""},        {u"", u""},       {u"C:\\", u"C:"},
    };
    for (const auto& c : cases) EXPECT_EQ(file_name_of(c.path), c.expected) << testing::PrintToString(c.path);
}

TEST(ParentDirectoryOf, Table) {
    const struct {
        WideString path, without, with;
    } cases[] = {
        {u"C:\\a\\b\\", u"C:\\a", u"C:\\a\\"},
        {u"C:\\a\\b", u"C:\\a", u"C:\\a\\"},
        {u"/x/y//", u"/x", u"/x/"},
        {u"\\top", u"", u"\\"},
        {u"name", u"", u""},
        {u"name\\", u"", u""},
        {u"", u"", u""},
        {u"a\\\\b", u"a\\", u"a\\\\"},  // only the separator next to the name goes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parent_directory_of(c.path, false), c.without) << testing::PrintToString(c.path);
        EXPECT_EQ(parent_directory_of(c.path, true), c.with) << testing::PrintToString(c.path);
    }
}

struct CutCase {
    WideString path;
    bool drop_trailing;
    bool cut;  // cut_file_name's answer; split_at_last_separator is non-null alike
    WideString after_cut;
    WideString after_split;
    const char16_t* name;  // split_at_last_separator's name part
};

TEST(CutFileNameAndSplit, Table) {
    const CutCase cases[] = {
        {u"C:\\prog\\launcher.exe", false, true, u"C:\\prog\\", u"C:\\prog", u"launcher.exe"},
        {u"name.exe", false, false, u"name.exe", u"name.exe", nullptr},
        {u"C:\\a\\b", false, true, u"C:\\a\\", u"C:\\a", u"b"},
        {u"C:\\a\\", false, false, u"C:\\a\\", u"C:\\a\\", nullptr},
        {u"C:\\a\\", true, true, u"C:\\", u"C:", u"a"},
        {u"/x/y", true, true, u"/x/", u"/x", u"y"},
        {u"/x", false, true, u"/", u"", u"x"},
        {u"a\\\\", true, false, u"a\\", u"a\\", nullptr},  // only one trailing separator goes
        {u"a\\", true, false, u"a", u"a", nullptr},        // it stays dropped
        {u"", true, false, u"", u"", nullptr},
    };
    for (const auto& c : cases) {
        std::vector<char16_t> buffer(c.path.begin(), c.path.end());
        buffer.push_back(0);
        EXPECT_EQ(cut_file_name(buffer.data(), c.drop_trailing), c.cut) << testing::PrintToString(c.path);
        EXPECT_EQ(WideString(buffer.data()), c.after_cut) << testing::PrintToString(c.path);

        buffer.assign(c.path.begin(), c.path.end());
        buffer.push_back(0);
        const char16_t* name = split_at_last_separator(buffer.data(), c.drop_trailing);
        EXPECT_EQ(text_or_null(name), text_or_null(c.name)) << testing::PrintToString(c.path);
        EXPECT_EQ(WideString(buffer.data()), c.after_split) << testing::PrintToString(c.path);
        if (name != nullptr) {
            EXPECT_TRUE(name > buffer.data() && name < buffer.data() + buffer.size());
        }
    }
    EXPECT_FALSE(cut_file_name(nullptr, true));
    EXPECT_EQ(split_at_last_separator(nullptr, true), nullptr);
}

TEST(AppendBounded, JoinedLengthMustLeaveRoomForTheTerminator) {
    char16_t buffer[16] = u"abcd";
    EXPECT_TRUE(append_bounded(buffer, u"abc", 8));  // 7 units and the terminator fill 8
    EXPECT_EQ(WideString(buffer), u"abcdabc");

    std::char_traits<char16_t>::copy(buffer, u"abcd", 5);
    EXPECT_FALSE(append_bounded(buffer, u"abcd", 8));
    EXPECT_EQ(WideString(buffer), u"abcd");  // unchanged

    EXPECT_TRUE(append_bounded(buffer, u"", 5));
    EXPECT_FALSE(append_bounded(buffer, u"x", 5));
    EXPECT_TRUE(append_bounded(buffer, u"0123456789", 0));  // unchecked
    EXPECT_EQ(WideString(buffer), u"abcd0123456789");
    EXPECT_FALSE(append_bounded(buffer, nullptr, 16));
    EXPECT_FALSE(append_bounded(nullptr, u"x", 16));
}

TEST(AppendBounded, NeverWritesPastCapacity) {
    // Canaries after the capacity catch a write of even one unit too many.
    for (int capacity = 1; capacity <= 8; ++capacity) {
        for (std::size_t add = 0; add <= 8; ++add) {
            std::vector<char16_t> buffer(static_cast<std::size_t>(capacity) + 4, u'#');
            buffer[0] = 0;
            append_bounded(buffer.data(), u"xy", capacity);
            const WideString text(add, u'z');
            append_bounded(buffer.data(), text.c_str(), capacity);
            for (std::size_t i = static_cast<std::size_t>(capacity); i < buffer.size(); ++i)
                ASSERT_EQ(buffer[i], u'#') << capacity << " " << add;
            EXPECT_LT(wide_length(buffer.data()), static_cast<std::size_t>(capacity));
        }
    }
    // A buffer without a terminator inside its capacity takes nothing.
    char16_t full[4] = {u'a', u'b', u'c', u'd'};
    EXPECT_FALSE(append_bounded(full, u"", 4));
}

TEST(WideLength, CountsToTheFirstNul) {
    EXPECT_EQ(wide_length(u""), 0u);
    EXPECT_EQ(wide_length(u"abc"), 3u);
    const char16_t embedded[] = {u'a', 0, u'b', 0};
    EXPECT_EQ(wide_length(embedded), 1u);
    EXPECT_EQ(wide_length(nullptr), 0u);
}

TEST(IsPathSeparator, BothSlashesOnly) {
    EXPECT_TRUE(is_path_separator(u'/'));
    EXPECT_TRUE(is_path_separator(u'\\'));
    EXPECT_FALSE(is_path_separator(u':'));
    EXPECT_FALSE(is_path_separator(u'\uFF3C'));  // fullwidth backslash
    EXPECT_FALSE(is_path_separator(u'\u00A5'));  // yen sign
}

}  // namespace
