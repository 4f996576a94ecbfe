// Proves that the argument check and setup_job stop a job with the right
// box (no arguments, a locale that cannot be set, a code page that is not
// available) and only then, that setup_job derives the job's fields from
// the options record, and that the locale it sets is undone afterwards.
#include <gtest/gtest.h>

#include "job_fixture.h"
#include "job_setup.h"

namespace {

using namespace jobframe_test;

class JobSetup : public FreshJobTest<932> {
protected:
    static void set_locale_name(ArchiveOptions& options, const WideString& name) {
        name.copy(options.locale_name, name.size());
        options.locale_name[name.size()] = 0;
    }

    BoxRecorder boxes;
};

TEST_F(JobSetup, ArgumentCheck) {
    const char16_t* one[] = {u"C:/in/a.lzh"};
    struct Case {
        std::int32_t count;
        const char16_t* const* paths;
        bool passes;
    };
    // Zero and a null array is what the launcher sends when no archive of
    // a library's kind was dropped; a negative count or a missing array
    // must not make the frame read paths.
    const Case cases[] = {{0, nullptr, false}, {0, one, false}, {-1, one, false}, {1, nullptr, false}, {1, one, true}};
    for (const Case& c : cases) {
        boxes.clear_boxes();
        EXPECT_EQ(check_arguments(c.count, c.paths), c.passes);
        if (c.passes) {
            EXPECT_TRUE(boxes.boxes().empty());
        } else {
            ASSERT_EQ(boxes.boxes().size(), 1u);
            EXPECT_EQ(boxes.boxes()[0].text, u"引数が無い。");
            EXPECT_EQ(boxes.boxes()[0].title, u"使い方のエラー");
            EXPECT_EQ(boxes.boxes()[0].kind, platform::BoxKind::ok);
        }
    }
}

TEST_F(JobSetup, CopiesTheOptionsIntoTheJob) {
    ScratchDirectory scratch;
    ArchiveOptions options = make_options(OPT_REPORT);
    options.separator_char = 0x015C;  // only the low byte: backslash
    options.max_name_length = 300;
    ASSERT_TRUE(setup_job(&options));
    const JobState& job = job_state();
    EXPECT_EQ(job.options, &options);
    EXPECT_TRUE(job.report_on);
    WideString current;
    platform::current_directory(current);
    EXPECT_EQ(job.start_directory, current);
    EXPECT_EQ(job.separator_byte, '\\');
    EXPECT_EQ(job.name_length_limit, 300u);
    EXPECT_EQ(options.locale_name_ref, nullptr);
    EXPECT_TRUE(boxes.boxes().empty());

    // Zero keeps the library's own defaults.
    reset_job_state();
    options = make_options();
    options.separator_char = 0;
    options.max_name_length = 0;
    ASSERT_TRUE(setup_job(&options));
    EXPECT_FALSE(job_state().report_on);
    EXPECT_EQ(job_state().separator_byte, '/');
    EXPECT_EQ(job_state().name_length_limit, 1024u);

    // No record at all: the launcher's defaults.
    reset_job_state();
    ASSERT_TRUE(setup_job(nullptr));
    EXPECT_EQ(job_state().separator_byte, '\\');
    EXPECT_EQ(job_state().name_length_limit, 1024u);
}

TEST_F(JobSetup, CreationDerivesTheHeaderFields) {
    struct Case {
        std::uint32_t flags;
        std::int32_t code_page;
        bool empd, cp_header, with_unicode, four_byte;
        std::int32_t ansi_code_page;
    };
    const Case cases[] = {
        {0, 0, false, false, false, true, 0},
        {OPT_EMPTY_DIRS, 0, true, false, false, true, 0},
        {OPT_CODEPAGE_HEADER_SHORT, 0, false, false, false, false, 0},
        {OPT_CODEPAGE_HEADER, 0, false, true, false, true, 932},
        {OPT_CODEPAGE_HEADER | OPT_UNICODE_HEADER, 0, false, true, true, true, 932},
        {OPT_UNICODE_HEADER | OPT_CODEPAGE_SET, 0, false, false, true, true, 0},
        {OPT_UNICODE_HEADER, 0, false, false, false, true, 0},
        {OPT_UTF16, 0, false, false, true, true, 0},
        {OPT_UTF16 | OPT_UNICODE_HEADER, 0, false, false, false, true, 0},
        {OPT_CODEPAGE_HEADER | OPT_CODEPAGE_SET, 1252, false, true, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        reset_job_state();
        job_state().create_mode = true;
        ArchiveOptions options = make_options(c.flags, c.code_page);
        ASSERT_TRUE(setup_job(&options));
        const JobState& job = job_state();
        EXPECT_EQ(job.empd, c.empd);
        EXPECT_EQ(job.cp_header, c.cp_header);
        EXPECT_EQ(job.cp_header_with_unicode, c.with_unicode);
        EXPECT_EQ(job.cp_header_4byte, c.four_byte);
        EXPECT_EQ(job.ansi_code_page, c.ansi_code_page);

        // An extraction job takes none of them.
        reset_job_state();
        job_state().extract_mode = true;
        ASSERT_TRUE(setup_job(&options));
        EXPECT_FALSE(job_state().empd);
        EXPECT_FALSE(job_state().cp_header);
        EXPECT_FALSE(job_state().cp_header_with_unicode);
        EXPECT_TRUE(job_state().cp_header_4byte);
    }
}

TEST_F(JobSetup, CodePageValidation) {
    struct Case {
        const char* what;
        bool create;
        std::uint32_t flags;
        std::int32_t code_page;
        bool locale_object;
        bool passes;
    };
    const Case cases[] = {
        {"given and unavailable", false, OPT_CODEPAGE_SET, 12345, false, false},
        {"given and available", false, OPT_CODEPAGE_SET, 1252, false, true},
        {"given as 0: none, not checked", false, OPT_CODEPAGE_SET, 0, false, true},
        {"not marked as given", false, 0, 12345, false, true},
        {"a locale is used instead", false, OPT_CODEPAGE_SET, 12345, true, true},
        {"code-page header with an unavailable one", true, OPT_CODEPAGE_HEADER, 12345, false, false},
        {"code-page header with a locale too", true, OPT_CODEPAGE_HEADER, 12345, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_job_state();
        boxes.clear_boxes();
        job_state().create_mode = c.create;
        job_state().extract_mode = !c.create;
        ArchiveOptions options = make_options(c.flags, c.code_page);
        if (c.locale_object) {
            options.flags |= OPT_LOCALE_OBJECT;
            set_locale_name(options, u"C");
        }
        EXPECT_EQ(setup_job(&options), c.passes);
        if (c.passes) {
            EXPECT_TRUE(boxes.boxes().empty());
        } else {
            ASSERT_EQ(boxes.boxes().size(), 1u);
            EXPECT_EQ(boxes.boxes()[0].text, u"指定の CodePage は、利用できない。中止。");
            EXPECT_EQ(boxes.boxes()[0].title, u"エラー");
            // Stopping must not leave a locale behind.
            EXPECT_EQ(job_state().locale_mode, LOCALE_NONE);
            EXPECT_EQ(job_state().locale_object, nullptr);
        }
    }
}

TEST_F(JobSetup, LocaleThatCannotBeSetStopsTheJob) {
    ArchiveOptions options = make_options();
    set_locale_name(options, u"no_such_locale.98765");
    EXPECT_FALSE(setup_job(&options));
    EXPECT_EQ(options.locale_name_ref, options.locale_name);
    EXPECT_EQ(job_state().locale_mode, LOCALE_NONE);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, u"指定の Local の設定に失敗。中止。");
    EXPECT_EQ(boxes.boxes()[0].title, u"エラー");
}

TEST_F(JobSetup, LocaleObjectThatCannotBeMadeIsNoError) {
    ArchiveOptions options = make_options(OPT_LOCALE_OBJECT);
    set_locale_name(options, u"no_such_locale.98765");
    EXPECT_TRUE(setup_job(&options));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(options.locale_name_ref, options.locale_name);
    EXPECT_EQ(job_state().locale_mode, LOCALE_OBJECT);
    EXPECT_EQ(job_state().locale_object, nullptr);
    restore_locale();
    EXPECT_EQ(job_state().locale_mode, LOCALE_NONE);
}

TEST_F(JobSetup, LocaleObjectIsMadeAndFreed) {
    ArchiveOptions options = make_options(OPT_LOCALE_OBJECT);
    set_locale_name(options, u"C");
    ASSERT_TRUE(setup_job(&options));
    EXPECT_EQ(job_state().locale_mode, LOCALE_OBJECT);
    EXPECT_NE(job_state().locale_object, nullptr);
    restore_locale();
    EXPECT_EQ(job_state().locale_mode, LOCALE_NONE);
    EXPECT_EQ(job_state().locale_object, nullptr);
}

// The process locale is the caller's too: after the job it must be what it
// was before, not whatever the job chose.
TEST_F(JobSetup, ProcessLocaleIsGivenBack) {
    bool ok = false;
    const WideString original = platform::set_ctype_locale(u"C", ok);
    ASSERT_TRUE(ok);

    // A second locale the runtime library knows, to see the change.
    WideString other;
    for (const WideString candidate : {u"C.UTF-8", u"en_US.UTF-8", u".1252", u"English"}) {
        platform::set_ctype_locale(candidate, ok);
        if (ok) {
            other = candidate;
            platform::set_ctype_locale(u"C", ok);
            break;
        }
    }
    if (other.empty()) {
        platform::restore_ctype_locale(original);
        GTEST_SKIP() << "no second locale available";
    }

    ArchiveOptions options = make_options();
    set_locale_name(options, other);
    ASSERT_TRUE(setup_job(&options));
    EXPECT_EQ(job_state().locale_mode, LOCALE_PROCESS);
    restore_locale();
    EXPECT_EQ(job_state().locale_mode, LOCALE_NONE);
    const WideString after = platform::set_ctype_locale(u"C", ok);
    EXPECT_EQ(after, u"C");

    platform::restore_ctype_locale(original);
}

}  // namespace
