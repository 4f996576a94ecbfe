// Proves the frame of the extract exports: nothing runs without arguments
// or after a failed setup; every archive gets its own fresh output stream,
// destroyed before the next; a thrown narrow text ends only its archive and
// is reported with the archive's path, while other exceptions pass; and the
// job ends with the locale undone and the final box or report file.
#include <gtest/gtest.h>

#include <vector>

#include "extract_frame.h"
#include "job_fixture.h"

namespace {

using namespace jobframe_test;

// Stands for the output file stream.
struct FakeOutput : CountedStream<FakeOutput> {};

class ExtractFrame : public FreshJobTest<> {
protected:
    void SetUp() override {
        FreshJobTest::SetUp();
        FakeOutput::reset();
    }

    BoxRecorder boxes;
    ArchiveOptions options = make_options();
};

TEST_F(ExtractFrame, NoArgumentsRunNothing) {
    int calls = 0;
    const char16_t* result =
        run_extract_job<FakeOutput>(0, nullptr, &options, [&](FakeOutput&, const WideString&) { ++calls; });
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, u"使い方のエラー");
}

TEST_F(ExtractFrame, FailedSetupRunsNothing) {
    options.flags |= OPT_CODEPAGE_SET;
    options.code_page = 12345;
    const char16_t* paths[] = {u"a.lzh"};
    int calls = 0;
    EXPECT_EQ(run_extract_job<FakeOutput>(1, paths, &options, [&](FakeOutput&, const WideString&) { ++calls; }),
              nullptr);
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);  // the setup's box, no final one
    EXPECT_EQ(boxes.boxes()[0].title, u"エラー");
}

TEST_F(ExtractFrame, OneArchiveFailingDoesNotStopTheOthers) {
    ScratchDirectory scratch;
    options.flags |= OPT_REPORT;
    const char16_t* paths[] = {u"C:\\in\\first.lzh", u"C:\\in\\second.lzh", nullptr};
    std::vector<WideString> seen;
    const char16_t* result =
        run_extract_job<FakeOutput>(3, paths, &options, [&](FakeOutput& output, const WideString& archive) {
            // A fresh, unopened stream, and the only one alive.
            EXPECT_FALSE(output.open);
            EXPECT_EQ(FakeOutput::alive, 1);
            EXPECT_EQ(FakeOutput::made, static_cast<int>(seen.size()) + 1);
            output.open = true;
            seen.push_back(archive);
            if (archive == u"C:\\in\\first.lzh") {
                throw "decode: file is not found.";
            }
            job_state().report_text += u"extracted " + archive + u"\n";
        });
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(FakeOutput::alive, 0);
    // A null entry is an empty path: the driver reports it like any archive
    // it cannot open.
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], u"C:\\in\\first.lzh");
    EXPECT_EQ(seen[1], u"C:\\in\\second.lzh");
    EXPECT_EQ(seen[2], u"");

    const JobState& job = job_state();
    EXPECT_EQ(job.first_source, u"C:\\in\\first.lzh");
    EXPECT_EQ(job.error_text, u"エラー: C:\\in\\first.lzh\n  decode: file is not found.\n");
    EXPECT_EQ(job.locale_mode, LOCALE_NONE);

    // The error fits the default dialog limit: report file and "終了".
    const WideString header = u"展開先: " + job.start_directory + u"\n";
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, u"終了");
    EXPECT_EQ(boxes.boxes()[0].text, header + u"レポート: first.lzh_dec_err_report.txt");
    EXPECT_TRUE(scratch.exists(u"first.lzh_dec_err_report.txt"));
    EXPECT_EQ(job.report_text, header + u"\nextracted C:\\in\\second.lzh\nextracted \n\nError:\n" + job.error_text);
}

TEST_F(ExtractFrame, OnlyNarrowTextsAreCaught) {
    const char16_t* paths[] = {u"a.lzh"};
    EXPECT_THROW(run_extract_job<FakeOutput>(1, paths, &options, [](FakeOutput&, const WideString&) { throw 42; }),
                 int);
    EXPECT_EQ(FakeOutput::alive, 0);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ExtractFrame, LocaleIsUndoneAfterTheArchives) {
    ScratchDirectory scratch;
    options.flags |= OPT_LOCALE_OBJECT;
    options.locale_name[0] = u'C';
    options.locale_name[1] = 0;
    const char16_t* paths[] = {u"a.lzh"};
    std::uint8_t mode_during = LOCALE_NONE;
    run_extract_job<FakeOutput>(1, paths, &options,
                                [&](FakeOutput&, const WideString&) { mode_during = job_state().locale_mode; });
    EXPECT_EQ(mode_during, LOCALE_OBJECT);
    EXPECT_EQ(job_state().locale_mode, LOCALE_NONE);
    EXPECT_EQ(options.locale_name_ref, options.locale_name);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, u"終了");
}

}  // namespace
