// Proves the frame of the create exports, in the build of each library with
// a record like its own: nothing runs without arguments or without
// anything to store; the archive is the derived name with the library's
// extension or the given path unchanged; an existing archive is replaced
// only after a Yes to "上書き確認!?", and a No ends the job with nothing
// written and nothing more shown; the driver gets the list, the archive
// path and a fresh stream, once; its thrown text and its own error lines
// end up in the report file or the "エラー" box; and the job ends in the
// start directory with the "保存名: " box.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "create_frame.h"
#include "file_system.h"
#include "job_fixture.h"
#include "message_box.h"
#include "source_entries.h"
#include "text_convert.h"

namespace {

using namespace jobframe_test;
using platform::BoxAnswer;
using platform::BoxKind;

#if JOBFRAME_STD_CONVERTERS
using Entry = TreeEntry;
const WideString EXTENSION = u".lzh";
#else
using Entry = FlatEntry;
const WideString EXTENSION = u".zip";
#endif

// Stands for the input file stream.
struct FakeInput : CountedStream<FakeInput> {};

const WideString OVERWRITE_QUESTION = u"既に同名ファイルが存在するが、続行(上書き)するか？ ";

class LIBRARY_SUITE(CreateFrame) : public FreshJobTest<> {
protected:
    void SetUp() override {
        FreshJobTest::SetUp();
        FakeInput::reset();
        std::filesystem::create_directories(scratch.file(u"docs/sub"));
        scratch.make_file(u"docs/a.txt", "aa");
        scratch.make_file(u"docs/sub/b.txt", "bbb");
        platform::current_directory(start);
        docs = start + u"/docs";
    }

    // Runs the job with a driver that records its call and writes a small
    // archive file.
    const char16_t* run(const std::vector<const char16_t*>& paths, const char16_t* archive) {
        return run_create_job<Entry, FakeInput>(
            static_cast<std::int32_t>(paths.size()), paths.data(), archive, &options, EXTENSION,
            [&](FakeInput& input, SourceList<Entry>& list, const WideString& archive_path) {
                EXPECT_FALSE(input.open);
                EXPECT_EQ(FakeInput::alive, 1);
                ++calls;
                platform::current_directory(driver_directory);
                driver_list = list;
                driver_archive = archive_path;
                if (driver) {
                    driver(list, archive_path);
                } else {
                    std::FILE* file = platform::open_file(archive_path, "wb");
                    ASSERT_NE(file, nullptr);
                    std::fputs("new", file);
                    std::fclose(file);
                }
            });
    }

    std::string read(const WideString& relative) const { return scratch.read(relative); }

    ScratchDirectory scratch;
    ScriptedMessageBoxes boxes;
    ArchiveOptions options = make_options();
    WideString start;
    WideString docs;

    int calls = 0;
    SourceList<Entry> driver_list;
    WideString driver_archive;
    WideString driver_directory;  // current when the driver was called
    std::function<void(SourceList<Entry>&, const WideString&)> driver;
};

TEST_F(LIBRARY_SUITE(CreateFrame), NoArgumentsRunNothing) {
    EXPECT_EQ(run({}, nullptr), nullptr);
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, u"引数が無い。");
    EXPECT_EQ(boxes.boxes()[0].title, u"使い方のエラー");
}

TEST_F(LIBRARY_SUITE(CreateFrame), NothingToStoreEndsAtOnce) {
    options.flags |= OPT_LOCALE_OBJECT;
    options.locale_name[0] = u'C';
    options.locale_name[1] = 0;
    const WideString missing = start + u"/none.txt";
    const WideString trailing = docs + u"/";
    EXPECT_EQ(run({missing.c_str(), trailing.c_str()}, nullptr), nullptr);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(FakeInput::made, 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);  // no final box
    EXPECT_EQ(boxes.boxes()[0].text, u"ファイル・リストの作成に失敗。");
    EXPECT_EQ(boxes.boxes()[0].title, u"エラー");
    EXPECT_EQ(boxes.boxes()[0].kind, BoxKind::ok);
    EXPECT_FALSE(scratch.exists(u"none.txt~~" + EXTENSION));
    // The locale the setup made is undone on this exit too.
    EXPECT_EQ(job_state().locale_mode, LOCALE_NONE);
}

TEST_F(LIBRARY_SUITE(CreateFrame), ArchiveNameAndDriverCall) {
    const WideString a = docs + u"/a.txt";
    struct Case {
        const char* what;
        std::vector<const char16_t*> paths;
        const char16_t* archive;
        WideString expected;  // relative to the start directory
    };
    const Case cases[] = {
        {"derived from a folder", {docs.c_str()}, nullptr, u"docs" + EXTENSION},
        {"empty argument counts as none", {docs.c_str()}, u"", u"docs" + EXTENSION},
        {"several paths", {a.c_str(), docs.c_str()}, nullptr, u"a.txt~~" + EXTENSION},
        {"given, another extension", {docs.c_str()}, u"out/arc.dat", u"out/arc.dat"},
        {"given, no extension", {docs.c_str()}, u"plain", u"plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_job_state();
        calls = 0;
        FakeInput::made = 0;
        const std::size_t boxes_before = boxes.boxes().size();

        EXPECT_EQ(run(c.paths, c.archive), nullptr);
        ASSERT_EQ(calls, 1);
        EXPECT_EQ(FakeInput::made, 1);
        EXPECT_EQ(FakeInput::alive, 0);
        EXPECT_TRUE(scratch.exists(c.expected));
        EXPECT_EQ(read(c.expected), "new");
        EXPECT_EQ(job_state().archive_path, driver_archive);
        EXPECT_FALSE(driver_list.empty());

        // No question (nothing was there), then the "終了" box naming the
        // archive as the driver got it.
        ASSERT_EQ(boxes.boxes().size(), boxes_before + 1);
        const auto& last = boxes.boxes().back();
        EXPECT_EQ(last.title, u"終了");
        EXPECT_EQ(last.text, u"保存名: " + driver_archive + u"\n");
        EXPECT_EQ(job_state().header_text, last.text);
        std::filesystem::remove(scratch.file(c.expected));
    }
    // A derived name is the start directory and the first path's last
    // component.
    reset_job_state();
    run({docs.c_str()}, nullptr);
    EXPECT_EQ(driver_archive, start + u"/docs" + EXTENSION);
}

TEST_F(LIBRARY_SUITE(CreateFrame), DriverGetsTheWalkedList) {
    const WideString b = docs + u"/sub/b.txt";
    run({docs.c_str(), b.c_str()}, nullptr);
    ASSERT_EQ(driver_list.size(), 3u);
    EXPECT_EQ(driver_list[2].examined.path, u"b.txt");
    EXPECT_EQ(SourceEntryTraits<Entry>::change_directory(driver_list[2]), full_path_of(docs + u"/sub"));
    // The walk is over before the driver runs: it starts in the start
    // directory, where the records without a change directory were read.
    EXPECT_EQ(driver_directory, start);
    EXPECT_EQ(driver_list[0].examined.read_in, start);
}

TEST_F(LIBRARY_SUITE(CreateFrame), OverwriteQuestion) {
    struct Case {
        const char* what;
        bool directory;  // what stands under the archive's name
        BoxAnswer answer;
        bool written;
    };
    const Case cases[] = {
        {"file, No", false, BoxAnswer::no, false},
        {"file, closed box", false, BoxAnswer::closed, false},
        {"directory, No", true, BoxAnswer::no, false},
        {"file, Yes", false, BoxAnswer::yes, true},
    };
    const WideString archive = u"docs" + EXTENSION;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_job_state();
        calls = 0;
        std::filesystem::remove_all(scratch.file(archive));
        if (c.directory) {
            std::filesystem::create_directory(scratch.file(archive));
        } else {
            scratch.make_file(archive, "old");
        }
        options = make_options(OPT_REPORT);
        boxes.add_answer(c.answer);
        const std::size_t first = boxes.boxes().size();
        const auto shown = [&] { return boxes.boxes().size() - first; };

        EXPECT_EQ(run({docs.c_str()}, nullptr), nullptr);
        const WideString header = u"保存名: " + start + u"/" + archive + u"\n";
        ASSERT_GE(shown(), 1u);
        const auto& question = boxes.boxes()[first];
        EXPECT_EQ(question.text, header + OVERWRITE_QUESTION);
        EXPECT_EQ(question.title, u"上書き確認!?");
        EXPECT_EQ(question.kind, BoxKind::yes_no);

        if (c.written) {
            EXPECT_EQ(calls, 1);
            EXPECT_EQ(read(archive), "new");
            ASSERT_EQ(shown(), 2u);
            EXPECT_EQ(boxes.boxes()[first + 1].title, u"終了");
            EXPECT_TRUE(scratch.exists(archive + u"_enc_report.txt"));
            std::filesystem::remove(scratch.file(archive + u"_enc_report.txt"));
        } else {
            // Nothing written, no report, nothing more shown.
            EXPECT_EQ(calls, 0);
            EXPECT_EQ(FakeInput::made, 0);
            EXPECT_EQ(shown(), 1u);
            EXPECT_FALSE(scratch.exists(archive + u"_enc_report.txt"));
            if (!c.directory) {
                EXPECT_EQ(read(archive), "old");
            }
            EXPECT_EQ(job_state().locale_mode, LOCALE_NONE);
        }
    }
}

TEST_F(LIBRARY_SUITE(CreateFrame), ThrownTextIsReported) {
    driver = [&](SourceList<Entry>&, const WideString&) {
        // The driver follows the change directories; the job still ends in
        // the start directory, where the report goes.
        platform::set_current_directory(docs);
        throw "encode: file is not open.";
    };
    EXPECT_EQ(run({docs.c_str()}, nullptr), nullptr);
    EXPECT_EQ(FakeInput::alive, 0);
    const JobState& job = job_state();
    EXPECT_EQ(job.error_text, u"エラー: \nencode: file is not open.\n");

    WideString now;
    platform::current_directory(now);
    EXPECT_EQ(now, start);
    const WideString report = u"docs" + EXTENSION + u"_enc_err_report.txt";
    EXPECT_TRUE(scratch.exists(report));
    EXPECT_FALSE(scratch.exists(u"docs/" + report));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, u"終了");
    EXPECT_EQ(boxes.boxes()[0].text, u"保存名: " + job.archive_path + u"\nレポート: " + report);
}

TEST_F(LIBRARY_SUITE(CreateFrame), DriversOwnErrorLinesAreShown) {
    // A driver that finds it cannot write the archive says so in a line of
    // its own, naming the archive; too long for a file, it is shown in the
    // "エラー" box under the header.
    options.dialog_limit = 10;
    driver = [&](SourceList<Entry>&, const WideString& archive_path) {
        job_state().error_text += archive_path + u" >> write failed\n";
    };
    run({docs.c_str()}, nullptr);
    const JobState& job = job_state();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, u"エラー");
    EXPECT_EQ(boxes.boxes()[0].text, u"保存名: " + job.archive_path + u"\n" + job.archive_path + u" >> write failed\n");
    EXPECT_FALSE(scratch.exists(u"docs" + EXTENSION + u"_enc_err_report.txt"));
}

TEST_F(LIBRARY_SUITE(CreateFrame), OnlyNarrowTextsAreCaught) {
    driver = [](SourceList<Entry>&, const WideString&) { throw 42; };
    EXPECT_THROW(run({docs.c_str()}, nullptr), int);
    EXPECT_EQ(FakeInput::alive, 0);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(LIBRARY_SUITE(CreateFrame), ReportFileStartsWithTheArchive) {
    options.flags |= OPT_REPORT;
    driver = [](SourceList<Entry>&, const WideString&) { job_state().report_text += u"stored\n"; };
    run({docs.c_str()}, nullptr);
    const JobState& job = job_state();
    const WideString report = u"docs" + EXTENSION + u"_enc_report.txt";
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, u"終了");
    EXPECT_EQ(boxes.boxes()[0].text, u"保存名: " + job.archive_path + u"\nレポート: " + report);

    // UTF-8 with its mark: the header is Japanese. Then the settings line
    // (empty: no name options) and the driver's line.
    ByteString expected = "\xEF\xBB\xBF";
    wide_to_utf8(u"保存名: " + job.archive_path + u"\n\nstored\n", expected, false);
    EXPECT_EQ(read(report), expected);
}

}  // namespace
