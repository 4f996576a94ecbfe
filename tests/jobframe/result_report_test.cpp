// Proves how a job ends: the settings line that opens a report, the report
// file's name (with "_1" to "_9" when taken), the routing of errors to a
// report file or to the "エラー" box by dialog_limit, the file's bytes, and
// the final box.
#include <gtest/gtest.h>

#include "job_fixture.h"
#include "job_setup.h"
#include "result_report.h"

namespace {

using namespace jobframe_test;

std::string utf8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

class ResultReport : public FreshJobTest<932> {
protected:
    // An extraction job of first_source, set up and started.
    void begin_extraction(std::uint32_t flags, std::int32_t dialog_limit = 1000) {
        options = make_options(flags);
        options.dialog_limit = dialog_limit;
        job_state().extract_mode = true;
        ASSERT_TRUE(setup_job(&options));
        job_state().first_source = u"C:\\in\\arc.lzh";
        start_report(u"展開先: D\n");
    }

    ArchiveOptions options{};
    BoxRecorder boxes;
};

TEST_F(ResultReport, SettingsLine) {
    struct Case {
        bool create;
        std::uint32_t flags;
        std::int32_t code_page;
        const char16_t* locale;
        WideString line;
    };
    const Case cases[] = {
        {false, 0, 0, nullptr, u"\n"},
        {false, OPT_UTF8, 0, nullptr, u"UTF8\n"},
        {false, OPT_UTF16, 0, nullptr, u"UTF16 LE\n"},
        {false, OPT_UTF16 | OPT_BIG_ENDIAN | OPT_BOM, 0, nullptr, u"UTF16 BE BOM\n"},
        {false, OPT_UTF8 | OPT_UTF16, 0, nullptr, u"UTF8 LE\n"},
        {false, OPT_UTF8 | OPT_BOM | OPT_FF_SEPARATOR, 0, nullptr, u"UTF8 BOM, 0xFF_Delemiter\n"},
        {false, OPT_CODEPAGE_SET, 932, nullptr, u"CodePage: 932\n"},
        {false, OPT_CODEPAGE_SET | OPT_UTF8, 1252, nullptr, u"CodePage: 1252\n"},
        {true, OPT_CODEPAGE_HEADER | OPT_CODEPAGE_SET, 932, nullptr, u"CodePage: 932, CP_Header0x46\n"},
        {false, OPT_UNICODE_HEADER | OPT_UTF8, 0, nullptr, u"Unicode_Header0x44,45\n"},
        {true, OPT_UNICODE_HEADER | OPT_CODEPAGE_HEADER, 0, nullptr, u"Unicode_Header0x44,45, CP_Header0x46: 932\n"},
        {true, OPT_UNICODE_HEADER | OPT_CODEPAGE_HEADER | OPT_CODEPAGE_SET, 1252, nullptr,
         u"Unicode_Header0x44,45, CP_Header0x46: 1252\n"},
        {false, OPT_FF_SEPARATOR, 0, nullptr, u", 0xFF_Delemiter\n"},
        {false, OPT_LOCALE_OBJECT | OPT_UNICODE_HEADER | OPT_FF_SEPARATOR, 0, u"C", u"locale_t: C, 0xFF_Delemiter\n"},
        {false, 0, 0, u"C", u"setlocale: C\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        reset_job_state();
        ArchiveOptions record = make_options(c.flags | OPT_REPORT, c.code_page);
        if (c.locale != nullptr) {
            WideString(c.locale).copy(record.locale_name, LOCALE_NAME_LENGTH - 1);
        }
        job_state().create_mode = c.create;
        job_state().extract_mode = !c.create;
        ASSERT_TRUE(setup_job(&record));
        job_state().error_text = u"left over";
        start_report(u"header\n");
        EXPECT_EQ(job_state().header_text, u"header\n");
        EXPECT_EQ(job_state().report_text, c.line);
        EXPECT_TRUE(job_state().error_text.empty());
        restore_locale();
    }

    // Without reporting the report stays empty.
    reset_job_state();
    ArchiveOptions record = make_options(OPT_UTF8);
    ASSERT_TRUE(setup_job(&record));
    start_report(u"header\n");
    EXPECT_TRUE(job_state().report_text.empty());
}

TEST_F(ResultReport, ReportFileNames) {
    ScratchDirectory scratch;
    JobState& job = job_state();
    job.extract_mode = true;
    job.first_source = u"C:\\in\\arc.lzh";
    EXPECT_EQ(report_file_name(false, true), u"arc.lzh_dec_report.txt");
    EXPECT_EQ(report_file_name(true, true), u"arc.lzh_dec_err_report.txt");
    job.first_source = u"/in/dir/arc.zip/";  // the last non-empty component
    EXPECT_EQ(report_file_name(false, true), u"arc.zip_dec_report.txt");

    reset_job_state();
    job.create_mode = true;
    job.archive_path = u"C:\\out\\docs.lzh";
    EXPECT_EQ(report_file_name(false, true), u"docs.lzh_enc_report.txt");
    EXPECT_EQ(report_file_name(true, true), u"docs.lzh_enc_err_report.txt");

    // Taken names, by a file or a directory, move on to _1 ... _9.
    scratch.make_file(u"docs.lzh_enc_report.txt");
    EXPECT_EQ(report_file_name(false, true), u"docs.lzh_enc_report_1.txt");
    EXPECT_EQ(report_file_name(false, false), u"docs.lzh_enc_report.txt");
    std::filesystem::create_directory(scratch.file(u"docs.lzh_enc_report_1.txt"));
    EXPECT_EQ(report_file_name(false, true), u"docs.lzh_enc_report_2.txt");
    for (int i = 2; i <= 8; ++i) {
        scratch.make_file(u"docs.lzh_enc_report_" + number(i) + u".txt");
    }
    EXPECT_EQ(report_file_name(false, true), u"docs.lzh_enc_report_9.txt");
    scratch.make_file(u"docs.lzh_enc_report_9.txt");
    EXPECT_EQ(report_file_name(false, true), u"");
    EXPECT_EQ(report_file_name(true, true), u"docs.lzh_enc_err_report.txt");
}

// Where the errors go, by reporting, error length and dialog_limit.
TEST_F(ResultReport, FinishJobRoutesErrors) {
    struct Case {
        const char* what;
        bool report_on;
        std::size_t error_length;
        std::int32_t dialog_limit;
        const char16_t* file;   // report file written, or null
        const char16_t* title;  // the one final box
    };
    const Case cases[] = {
        {"no errors", false, 0, 1000, nullptr, u"終了"},
        {"no errors, reporting", true, 0, 1000, u"arc.lzh_dec_report.txt", u"終了"},
        {"errors at the limit", false, 1000, 1000, u"arc.lzh_dec_err_report.txt", u"終了"},
        {"errors beyond the limit", false, 1001, 1000, nullptr, u"エラー"},
        {"errors beyond the limit, reporting", true, 1001, 1000, u"arc.lzh_dec_err_report.txt", u"終了"},
        {"a short error, limit 0", false, 1, 0, nullptr, u"エラー"},
        {"a short error, negative limit", false, 1, -5, nullptr, u"エラー"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory scratch;
        reset_job_state();
        boxes.clear_boxes();
        begin_extraction(c.report_on ? std::uint32_t{OPT_REPORT} : 0u, c.dialog_limit);
        const WideString errors = c.error_length > 0 ? WideString(c.error_length - 1, u'e') + u"\n" : u"";
        job_state().error_text = errors;
        finish_job();

        ASSERT_EQ(boxes.boxes().size(), 1u);
        const RecordedBox& box = boxes.boxes()[0];
        EXPECT_EQ(box.title, c.title);
        EXPECT_EQ(box.kind, platform::BoxKind::ok);
        if (c.file != nullptr) {
            EXPECT_EQ(box.text, WideString(u"展開先: D\nレポート: ") + c.file);
            ASSERT_TRUE(scratch.exists(c.file));
            // Header, the settings line when reporting, the error section.
            std::string expected = "\xEF\xBB\xBF" + utf8(u8"展開先: D\n");
            if (c.report_on) {
                expected += "\n";
            }
            if (c.error_length > 0) {
                expected += "\nError:\n" + std::string(errors.begin(), errors.end());
            }
            EXPECT_EQ(scratch.read(c.file), expected);
        } else if (c.error_length > 0) {
            EXPECT_EQ(box.text, u"展開先: D\n" + errors);
        } else {
            EXPECT_EQ(box.text, u"展開先: D\n");
        }
        if (c.file == nullptr) {
            EXPECT_TRUE(std::filesystem::is_empty(scratch.file(u"")));
        }
    }
}

TEST_F(ResultReport, NoFreeNameShowsTheWriteFailure) {
    ScratchDirectory scratch;
    begin_extraction(OPT_REPORT);
    scratch.make_file(u"arc.lzh_dec_report.txt", "old");
    for (int i = 1; i <= 9; ++i) {
        scratch.make_file(u"arc.lzh_dec_report_" + number(i) + u".txt", "old");
    }
    finish_job();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, u"エラー");
    EXPECT_EQ(boxes.boxes()[0].text, u"展開先: D\n結果レポートのファイルへの書き込みに失敗。");
    EXPECT_EQ(scratch.read(u"arc.lzh_dec_report.txt"), "old");
}

// When the report cannot be written, its errors go into the "エラー" box
// after the failure line, as many whole lines as the dialog limit allows.
TEST_F(ResultReport, ErrorsReachTheBoxWhenTheReportCannotBeWritten) {
    const WideString two_lines = u"a.txt >>出力の書き込みに失敗\nb.txt >> CRC error!\n";  // 19 + 20 units
    const struct {
        const char* what;
        std::int32_t dialog_limit;
        WideString errors;
        WideString shown;
    } cases[] = {
        {"no errors", 1000, u"", u""},
        {"all lines fit", 1000, two_lines, u"\n" + two_lines},
        {"the first line fits", 30, two_lines, u"\na.txt >>出力の書き込みに失敗\n(以下省略)\n"},
        {"no whole line fits", 4, two_lines, u"\na.tx\n(以下省略)\n"},
        {"a limit of 0", 0, two_lines, u"\n(以下省略)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory scratch;
        reset_job_state();
        boxes.clear_boxes();
        begin_extraction(OPT_REPORT, c.dialog_limit);
        job_state().error_text = c.errors;
        // Every name the report could take is a directory.
        for (const WideString suffix : {u"", u"_1", u"_2", u"_3", u"_4", u"_5", u"_6", u"_7", u"_8", u"_9"}) {
            std::filesystem::create_directory(scratch.file(
                WideString(c.errors.empty() ? u"arc.lzh_dec_report" : u"arc.lzh_dec_err_report") + suffix + u".txt"));
        }
        finish_job();
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].title, u"エラー");
        EXPECT_EQ(boxes.boxes()[0].text, u"展開先: D\n結果レポートのファイルへの書き込みに失敗。" + c.shown);
    }
}

// A link named like the report is a taken name, even when it points
// nowhere: the report goes to the next name and never through the link.
TEST_F(ResultReport, ALinkNamedLikeTheReportIsPassedOver) {
    ScratchDirectory scratch;
    std::error_code error;
    std::filesystem::create_symlink("../elsewhere.txt", scratch.file(u"arc.lzh_dec_report.txt"), error);
    if (error ||
        !std::filesystem::is_symlink(std::filesystem::symlink_status(scratch.file(u"arc.lzh_dec_report.txt")))) {
        GTEST_SKIP() << "no symbolic links can be made here; the link case did not run";
    }
    begin_extraction(OPT_REPORT);
    finish_job();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, u"展開先: D\nレポート: arc.lzh_dec_report_1.txt");
    EXPECT_TRUE(scratch.exists(u"arc.lzh_dec_report_1.txt"));
    EXPECT_FALSE(std::filesystem::exists(scratch.file(u"../elsewhere.txt")));
}

// The creation driver changes directories; the report belongs in the start
// directory, which is current again afterwards.
TEST_F(ResultReport, CreationJobReturnsToTheStartDirectory) {
    ScratchDirectory scratch;
    std::filesystem::create_directory(scratch.file(u"sources"));
    options = make_options(OPT_REPORT);
    job_state().create_mode = true;
    ASSERT_TRUE(setup_job(&options));
    const WideString start = job_state().start_directory;
    job_state().archive_path = start + u"/docs.lzh";
    start_report(u"保存名: " + job_state().archive_path + u"\n");
    ASSERT_TRUE(platform::set_current_directory(start + u"/sources"));

    finish_job();
    WideString current;
    platform::current_directory(current);
    EXPECT_EQ(current, start);
    EXPECT_TRUE(scratch.exists(u"docs.lzh_enc_report.txt"));
    EXPECT_FALSE(scratch.exists(u"sources/docs.lzh_enc_report.txt"));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, u"終了");
}

TEST_F(ResultReport, ThrownTextBecomesAnErrorLine) {
    begin_extraction(0);
    append_archive_error(u"C:\\in\\a.lzh", "decode: file is not found.");
    append_archive_error(u"b.zip", nullptr);
    EXPECT_EQ(job_state().error_text, u"エラー: C:\\in\\a.lzh\n  decode: file is not found.\nエラー: b.zip\n  \n");
}

}  // namespace
