// Proves the ZIP library as the real launcher uses it, on Linux: a copy of
// tsuchi and nomi.so (and a kanna.so) in a directory of their own, the
// program run as a process in a work directory with its answers on standard
// input, its boxes read back from standard output. A drop of a.lzh and
// b.zip extracts both, the LZH library first; a.lzh with b.txt, once the
// user says to extract, gives nomi no archive and it says so itself; and
// without nomi the drop of both kinds fails to load.
//
// Until the LZH library is built, the recording stand-in of the launcher
// tests takes kanna's place: it logs its call and shows no box, so then the
// ZIP side, the call of LZHDecode and the order of the boxes are checked.
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
        real_kanna = fs::exists(built / "kanna.so");
        fs::copy_file(real_kanna ? built / "kanna.so"
                                 : host_path(TSUCHI_BINARY_DIR) / "tests" / "launcher-recording" / "kanna.so",
                      bin / "kanna.so");
        fs::copy_file(source_path("tests/fixtures/jlha/pattern7-l2.lzh"), work / "a.lzh");
        write_file(work / "b.zip", zip_of({Member("b/one.txt", "one\n"), Member("two.txt", "two\n", ZIP_METHOD_STORED)}));
    }

    std::vector<Box> run(const std::vector<std::string>& arguments, const std::string& answers) {
        write_file(scratch / "answers.txt", answers);
        std::string command = "cd " + quoted(work) + " && LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC TSUCHI_RECORD_LOG=" +
                              quoted(log) + " " + quoted(bin / "tsuchi");
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
        if (real_kanna) {
            EXPECT_EQ(read_file(work / "pattern7.bin").size(), 14000u);
        } else {
            const std::string calls = read_file(log);
            EXPECT_NE(calls.find("export=LZHDecode\ncount=1\npaths_array=set\npath=" + work_text() + "/a.lzh\n"),
                      std::string::npos)
                << calls;
        }
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
    // What kanna shows for its part of a job: its final box, or nothing
    // from the stand-in.
    std::vector<Box> lzh_boxes() const { return real_kanna ? std::vector<Box>{finished()} : std::vector<Box>{}; }

    ScratchDirectory scratch;
    fs::path bin = scratch.root() / "bin";
    fs::path work = scratch.root() / "work";
    fs::path log = scratch.root() / "calls.log";
    bool real_kanna = false;
};

TEST_F(NomiProcess, DropOfBothKindsExtractsBothLzhFirst) {
    const std::vector<Box> boxes = run({"a.lzh", "b.zip"}, "");
    std::vector<Box> want = lzh_boxes();
    want.push_back(finished());
    expect_boxes(boxes, want);
    expect_lzh_side();
    expect_zip_side();
}

TEST_F(NomiProcess, ArchiveWithOtherFileLeavesNomiWithoutArguments) {
    write_file(work / "b.txt", "not an archive");
    const std::vector<Box> boxes = run({"a.lzh", "b.txt"}, "y\n");
    std::vector<Box> want = {{"作業確認!?", "圧縮ファイルを解凍(展開)するのか？", "(Yes/No/Cancel)?"}};
    for (const Box& box : lzh_boxes()) want.push_back(box);
    want.push_back({"使い方のエラー", "引数が無い。", "(OK)"});
    expect_boxes(boxes, want);
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
