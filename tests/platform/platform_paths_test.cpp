// The platform's absolute paths, current directory and environment
// expansion: "." and ".." are resolved lexically against the current
// directory, both separators are accepted, results that would not fit a
// path buffer are refused, and %NAME% references are expanded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform.h"
#include "test_files.h"

namespace {

using test_files::CurrentDirectoryGuard;
using test_files::ScratchDirectory;

#ifdef _WIN32
constexpr char16_t SEP = u'\\';
const WideString ROOT = u"C:\\";
#else
constexpr char16_t SEP = u'/';
const WideString ROOT = u"/";
#endif

// Expected texts are written with "/" and with {cwd}, {parent} and {root}
// standing for the current directory, its parent and the file-system root.
WideString expand_expected(WideString text, const WideString& cwd) {
    const WideString parent = cwd.substr(0, cwd.find_last_of(SEP));
    auto replace = [&text](const WideString& key, const WideString& value) {
        for (std::size_t at; (at = text.find(key)) != WideString::npos;) text.replace(at, key.size(), value);
    };
    replace(u"{cwd}", cwd);
    replace(u"{parent}", parent);
    replace(u"{root}", ROOT);
    for (char16_t& c : text) {
        if (c == u'/') c = SEP;
    }
    return text;
}

WideString expand_input(WideString text) {
    const std::size_t at = text.find(u"{root}");
    if (at != WideString::npos) text.replace(at, 6, ROOT);
    return text;
}

struct FullPathCase {
    const char16_t* input;
    const char16_t* expected;
};

TEST(PlatformFullPath, ResolvesDotsAndSeparatorsAgainstTheCurrentDirectory) {
    ScratchDirectory scratch;
    CurrentDirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    WideString cwd;
    ASSERT_TRUE(platform::current_directory(cwd));

    const FullPathCase cases[] = {
        {u"a", u"{cwd}/a"},
        {u"./a", u"{cwd}/a"},
        {u"a/../b", u"{cwd}/b"},
        {u"a\\b", u"{cwd}/a/b"},
        {u"a/b\\..\\c", u"{cwd}/a/c"},
        {u"..\\x", u"{parent}/x"},
        {u".", u"{cwd}"},
        {u"a/", u"{cwd}/a/"},
        {u"a/.", u"{cwd}/a"},
        {u"{root}x/./y/../z", u"{root}x/z"},
        {u"{root}x\\y\\", u"{root}x/y/"},
        {u"{root}../..", u"{root}"},
        {u"{root}a/b/../../..", u"{root}"},
    };
    for (const FullPathCase& c : cases) {
        WideString out;
        const WideString input = expand_input(c.input);
        ASSERT_TRUE(platform::full_path(input, out)) << testing::PrintToString(input);
        EXPECT_EQ(out, expand_expected(c.expected, cwd)) << testing::PrintToString(input);
    }
}

TEST(PlatformFullPath, RefusesEmptyPathsAndResultsLongerThanAPathBuffer) {
    WideString out = u"unchanged";
    EXPECT_FALSE(platform::full_path(u"", out));
    EXPECT_EQ(out, u"unchanged");

    // PATH_BUFFER_LENGTH counts the terminator: 1023 units fit, 1024 do not.
    const WideString fits = ROOT + WideString(PATH_BUFFER_LENGTH - 1 - ROOT.size(), u'a');
    ASSERT_TRUE(platform::full_path(fits, out));
    EXPECT_EQ(out.size(), static_cast<std::size_t>(PATH_BUFFER_LENGTH - 1));
    EXPECT_FALSE(platform::full_path(fits + u"b", out));
    // An argument far beyond any buffer is refused, not cut.
    EXPECT_FALSE(platform::full_path(ROOT + WideString(100000, u'x'), out));
    // ... unless ".." takes it back within bounds.
    EXPECT_TRUE(platform::full_path(ROOT + WideString(5000, u'x') + u"/..", out));
    EXPECT_EQ(out, ROOT);
}

#ifndef _WIN32
TEST(PlatformFullPath, DoesNotFollowLinks) {
    ScratchDirectory scratch;
    ScratchDirectory elsewhere;
    CurrentDirectoryGuard guard;
    test_files::fs::create_directory(elsewhere / "deep");
    test_files::fs::create_directory_symlink(elsewhere / "deep", scratch / "link");
    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    WideString cwd, out;
    ASSERT_TRUE(platform::current_directory(cwd));
    ASSERT_TRUE(platform::full_path(u"link/../file", out));
    EXPECT_EQ(out, cwd + u"/file");
}

TEST(PlatformFullPath, CollapsesRepeatedSeparators) {
    WideString out;
    ASSERT_TRUE(platform::full_path(u"//x//y\\\\z", out));
    EXPECT_EQ(out, u"/x/y/z");
}
#endif

TEST(PlatformCurrentDirectory, FollowsSetCurrentDirectory) {
    ScratchDirectory scratch;
    CurrentDirectoryGuard guard;
    test_files::fs::create_directories(scratch / "sub" / "inner");

    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    WideString cwd;
    ASSERT_TRUE(platform::current_directory(cwd));
    EXPECT_EQ(cwd, test_files::fs::current_path().u16string());

    // A relative path with a backslash works on either platform.
    ASSERT_TRUE(platform::set_current_directory(u"sub\\inner"));
    WideString inner;
    ASSERT_TRUE(platform::current_directory(inner));
    EXPECT_EQ(inner, test_files::fs::current_path().u16string());
    EXPECT_EQ(inner, cwd + SEP + u"sub" + SEP + u"inner");

    EXPECT_FALSE(platform::set_current_directory(u"missing-directory"));
    EXPECT_FALSE(platform::set_current_directory(u""));
    WideString still;
    ASSERT_TRUE(platform::current_directory(still));
    EXPECT_EQ(still, inner);
}

TEST(PlatformExpandEnvironment, ReplacesKnownNamesAndKeepsUnknownOnes) {
    // PATH is set wherever the tests run; its value is whatever it is.
    const char* path_value = std::getenv("PATH");
    ASSERT_NE(path_value, nullptr);
    const std::string narrow(path_value);
    if (narrow.size() > 400) GTEST_SKIP() << "PATH too long for a path buffer";
    const WideString value(narrow.begin(), narrow.end());  // ASCII in practice

    WideString out;
    ASSERT_TRUE(platform::expand_environment(u"<%PATH%>", out));
    EXPECT_EQ(out, u"<" + value + u">");

    const struct {
        const char16_t* input;
        const char16_t* expected;
    } unchanged[] = {
        {u"plain", u"plain"}, {u"%TSUCHI_UNSET_VARIABLE_1%", u"%TSUCHI_UNSET_VARIABLE_1%"},
        {u"50%", u"50%"},     {u"%%", u"%%"},
        {u"a%b", u"a%b"},
    };
    for (const auto& c : unchanged) {
        ASSERT_TRUE(platform::expand_environment(c.input, out)) << testing::PrintToString(WideString(c.input));
        EXPECT_EQ(out, c.expected);
    }

    // An unknown reference is passed over whole: its closing "%" does not
    // open another one.
    ASSERT_TRUE(platform::expand_environment(u"%TSUCHI_UNSET_VARIABLE_1%PATH%", out));
    EXPECT_EQ(out, u"%TSUCHI_UNSET_VARIABLE_1%PATH%");
    ASSERT_TRUE(platform::expand_environment(u"%TSUCHI_UNSET_VARIABLE_1%%PATH%", out));
    EXPECT_EQ(out, u"%TSUCHI_UNSET_VARIABLE_1%" + value);

    // A result that would not fit a path buffer is refused.
    WideString many;
    for (int i = 0; i < 2000 / static_cast<int>(value.size() + 1) + 2; ++i) many += u"%PATH%;";
    EXPECT_FALSE(platform::expand_environment(many, out));
    EXPECT_FALSE(platform::expand_environment(WideString(5000, u'x'), out));
}

}  // namespace
