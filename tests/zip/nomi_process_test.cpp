// Proves the ZIP library as the real launcher uses it, on Linux: a copy of
// tsuchi and nomi.so (and a kanna.so) in a directory of their own, the
// program run as a process in a work directory with its answers on standard
// input, its boxes read back from standard output. A drop of a.lzh and
// b.zip extracts both, the LZH library first, each with its own final box;
// a.lzh with b.txt, once the user says to extract, gives nomi no archive
// and it says so itself; and without nomi the drop of both kinds fails to
// load before anything is extracted.
#include <gtest/gtest.h>

#include "launcher_process.h"
#include "zip_test_support.h"

namespace {

using namespace ziptest;

using Box = test_common::LauncherBox;

class NomiProcess : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(bin);
        fs::create_directories(work);
        const fs::path built = host_path(TSUCHI_BINARY_DIR) / "bin";
        fs::copy_file(built / "tsuchi", bin / "tsuchi");
        fs::copy_file(built / "nomi.so", bin / "nomi.so");
        fs::copy_file(built / "kanna.so", bin / "kanna.so");
        fs::copy_file(source_path("tests/fixtures/jlha/pattern7-l2.lzh"), work / "a.lzh");
        write_file(work / "b.zip",
                   zip_of({Member("b/one.txt", "one\n"), Member("two.txt", "two\n", ZIP_METHOD_STORED)}));
    }

    std::vector<Box> run(const std::vector<std::string>& arguments, const std::string& answers) {
        const test_common::LauncherRun run = test_common::run_launcher(
            {.program = bin / "tsuchi", .directory = work, .arguments = arguments, .answers = answers});
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_TRUE(run.output_parsed) << run.output;
        return run.boxes;
    }

    std::string work_text() const { return work.string(); }

    void expect_zip_side() const {
        EXPECT_EQ(read_file(work / "b" / "one.txt"), "one\n");
        EXPECT_EQ(read_file(work / "two.txt"), "two\n");
    }
    void expect_lzh_side() const {
        std::string pattern;
        for (int i = 0; i < 2000; ++i) pattern += "0123456";
        EXPECT_TRUE(read_file(work / "pattern7.bin") == pattern);
    }
    // The final box of an extraction into the work directory.
    Box finished() const { return Box{"終了", "展開先: " + work_text(), "(OK)"}; }
    static void expect_boxes(const std::vector<Box>& got, const std::vector<Box>& want) {
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(got[i].title, want[i].title) << i;
            EXPECT_EQ(got[i].text, want[i].text) << i;
            EXPECT_EQ(got[i].buttons, want[i].buttons) << i;
        }
    }
    ScratchDirectory scratch;
    fs::path bin = scratch.root() / "bin";
    fs::path work = scratch.root() / "work";
};

// With /rpt each library writes a report named after its first archive,
// and its final box names the report: so the boxes show which came first.
TEST_F(NomiProcess, DropOfBothKindsExtractsBothLzhFirst) {
    const std::vector<Box> boxes = run({"/rpt", "a.lzh", "b.zip"}, "");
    Box lzh = finished();
    lzh.text += "\nレポート: a.lzh_dec_report.txt";
    Box zip = finished();
    zip.text += "\nレポート: b.zip_dec_report.txt";
    expect_boxes(boxes, {lzh, zip});
    expect_lzh_side();
    expect_zip_side();
}

TEST_F(NomiProcess, ArchiveWithOtherFileLeavesNomiWithoutArguments) {
    write_file(work / "b.txt", "not an archive");
    const std::vector<Box> boxes = run({"a.lzh", "b.txt"}, "y\n");
    expect_boxes(boxes, {{"作業確認!?", "圧縮ファイルを解凍(展開)するのか？", "(Yes/No/Cancel)?"},
                         finished(),
                         {"使い方のエラー", "引数が無い。", "(OK)"}});
    expect_lzh_side();
}

TEST_F(NomiProcess, MissingNomiFailsToLoad) {
    fs::remove(bin / "nomi.so");
    const std::vector<Box> boxes = run({"a.lzh", "b.zip"}, "");
    expect_boxes(boxes, {{"エラー", "DLLのロードに失敗。", "(OK)"}});
    EXPECT_FALSE(fs::exists(work / "two.txt"));
    EXPECT_FALSE(fs::exists(work / "pattern7.bin"));
}

}  // namespace
