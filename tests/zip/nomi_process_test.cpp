// Proves the ZIP library as the real launcher uses it, on Linux: a copy of
// tsuchi and nomi.so (and a kanna.so) in a directory of their own, the
// program run as a process in a work directory with its answers on standard
// input, its boxes read back from standard output. A drop of a.lzh and
// b.zip extracts both, the LZH library first, each with its own final box;
// a.lzh with b.txt, once the user says to extract, gives nomi no archive
// and it says so itself; and without nomi the drop of both kinds fails to
// load before anything is extracted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "zip_test_support.h"

namespace {

using namespace ziptest;

struct Box {
    std::string title;
    std::string text;
    std::string buttons;  // "(OK)", "(Yes/No)?", "(Yes/No/Cancel)?"
};

std::string quoted(const fs::path& path) {
    std::string out = "'";
    for (const char c : path.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The terminal form of a box: "[title]", its text lines, a buttons line.
std::vector<Box> boxes_of(const std::string& output) {
    std::vector<Box> boxes;
    std::istringstream lines(output);
    std::string line;
    Box box;
    bool open = false;
    while (std::getline(lines, line)) {
        if (!open) {
            EXPECT_TRUE(line.size() >= 2 && line.front() == '[' && line.back() == ']') << output;
            box = Box{line.substr(1, line.size() - 2), "", ""};
            open = true;
        } else if (line == "(OK)" || line == "(Yes/No)?" || line == "(Yes/No/Cancel)?") {
            box.buttons = line;
            boxes.push_back(box);
            open = false;
        } else {
            box.text += (box.text.empty() ? "" : "\n") + line;
        }
    }
    EXPECT_FALSE(open) << output;
    return boxes;
}

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
        write_file(work / "b.zip", zip_of({Member("b/one.txt", "one\n"), Member("two.txt", "two\n", ZIP_METHOD_STORED)}));
    }

    std::vector<Box> run(const std::vector<std::string>& arguments, const std::string& answers) {
        write_file(scratch / "answers.txt", answers);
        std::string command = "cd " + quoted(work) + " && LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC " + quoted(bin / "tsuchi");
        for (const std::string& argument : arguments) command += " " + quoted(utf8_path(argument));
        command += " <" + quoted(scratch / "answers.txt") + " >" + quoted(scratch / "stdout.txt") + " 2>" +
                   quoted(scratch / "stderr.txt");
        EXPECT_EQ(std::system(command.c_str()), 0) << read_file(scratch / "stderr.txt");
        return boxes_of(read_file(scratch / "stdout.txt"));
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
