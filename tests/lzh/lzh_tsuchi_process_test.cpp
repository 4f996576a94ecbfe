// Proves LZH extraction through the real program on Linux: tsuchi run as a
// process with the real kanna.so beside it, the archives named on its
// command line as a user's drop would give them, answers on standard input
// and the message boxes read back from standard output (the terminal form
// "[title]", text lines, "(OK)" or the buttons). One archive, two
// archives, a /D: destination (existing, and new after the question), an
// overwrite question answered on standard input, and a broken archive next
// to a good one.
#include <gtest/gtest.h>

#include "launcher_process.h"
#include "lzh_test_support.h"

namespace {

using namespace lzh_test;

using test_common::LauncherRun;

class LzhTsuchi : public ::testing::Test {
protected:
    void SetUp() override { reset_job_state(); }

    // Runs tsuchi in the destination with the arguments and the answer
    // lines on standard input.
    LauncherRun run(const std::vector<std::string>& arguments, const std::string& answers = "") {
        return test_common::run_launcher(
            {.program = TSUCHI_PROGRAM, .directory = scratch.dest(), .arguments = arguments, .answers = answers});
    }

    // The path of an archive in in/, relative to the destination: a path
    // starting with "/" would read as a switch.
    std::string relative(const WideString& archive) const { return "../in/" + fs::path(archive).filename().string(); }

    std::string dest() const { return scratch.dest().string(); }

    TimeZone utc{"UTC0"};
    Scratch scratch{"lzhproc"};
};

TEST_F(LzhTsuchi, OneArchive) {
    ASSERT_TRUE(fs::exists(KANNA_LIBRARY)) << "kanna is built beside tsuchi";
    const LauncherRun r = run({relative(scratch.fixture("jlha/tree-l2.lzh"))});
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_EQ(r.boxes.size(), 1u) << r.output;
    EXPECT_EQ(r.boxes[0].title, "終了");
    EXPECT_EQ(r.boxes[0].text, "展開先: " + dest());
    EXPECT_EQ(scratch.read(u"docs/guide/deep/leaf.txt").size(), 17u);
    EXPECT_EQ(crc32(scratch.read(u"data/binary.bin")), 0xfb8ee7bfu);
    EXPECT_EQ(scratch.mtime(u"data/binary.bin"), 1579507750);
    EXPECT_TRUE(scratch.is_directory(u"docs/empty"));
}

TEST_F(LzhTsuchi, TwoArchives) {
    const WideString a = scratch.archive("a.lzh", archive_of({{.name = u"a.txt", .data = "from a"}}));
    const WideString b =
        scratch.archive("b.LZH", archive_of({{.name = u"b.txt", .directory = u"sub/", .data = "from b"}}));
    const LauncherRun r = run({relative(a), relative(b)});
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_EQ(r.boxes.size(), 1u) << r.output;
    EXPECT_EQ(r.boxes[0].title, "終了");
    EXPECT_EQ(scratch.read(u"a.txt"), "from a");
    EXPECT_EQ(scratch.read(u"sub/b.txt"), "from b");
}

TEST_F(LzhTsuchi, DestinationSwitch) {
    const WideString a = scratch.archive("a.lzh", archive_of({{.name = u"a.txt", .data = "aaa"}}));
    // An existing destination becomes current without a question.
    fs::create_directory(scratch.dest() / "out");
    LauncherRun r = run({"/D:out", relative(a)});
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_EQ(r.boxes.size(), 1u) << r.output;
    EXPECT_EQ(r.boxes[0].text, "展開先: " + dest() + "/out");
    EXPECT_EQ(scratch.read(u"out/a.txt"), "aaa");
    EXPECT_FALSE(scratch.exists(u"a.txt"));
    // A new one is made after the question.
    r = run({"/D:new/sub", relative(a)}, "y\n");
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_EQ(r.boxes.size(), 2u) << r.output;
    EXPECT_EQ(r.boxes[0].title, "実行の確認!?");
    EXPECT_EQ(r.boxes[1].title, "終了");
    EXPECT_EQ(r.boxes[1].text, "展開先: " + dest() + "/new/sub");
    EXPECT_EQ(scratch.read(u"new/sub/a.txt"), "aaa");
}

TEST_F(LzhTsuchi, OverwriteAnsweredOnStandardInput) {
    scratch.make_file(u"keep.txt", "mine");
    scratch.make_file(u"take.txt", "mine");
    const WideString a = scratch.archive(
        "a.lzh", archive_of({{.name = u"keep.txt", .data = "theirs"}, {.name = u"take.txt", .data = "theirs"}}));
    const LauncherRun r = run({relative(a)}, "n\ny\n");
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_EQ(r.boxes.size(), 3u) << r.output;
    EXPECT_EQ(r.boxes[0].title, "上書き確認!?");
    EXPECT_EQ(r.boxes[0].buttons, "(Yes/No/Cancel)?");
    EXPECT_EQ(r.boxes[0].text, "keep.txt\n既に存在するが上書きする？、[いいえ]で スキップ、[キャンセル]で 中止。");
    EXPECT_EQ(scratch.read(u"keep.txt"), "mine");
    EXPECT_EQ(scratch.read(u"take.txt"), "theirs");
    EXPECT_EQ(r.boxes[2].text, "展開先: " + dest() + "\nレポート: a.lzh_dec_err_report.txt");
    EXPECT_NE(scratch.read(u"a.lzh_dec_err_report.txt").find("keep.txt >>スキップ！\n"), std::string::npos);
}

TEST_F(LzhTsuchi, BrokenArchiveNextToAGoodOne) {
    const WideString broken = scratch.fixture("hostile/lzh-level3.lzh");
    const WideString good = scratch.archive("good.lzh", archive_of({{.name = u"good.txt", .data = "good"}}));
    const LauncherRun r = run({relative(broken), relative(good)});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(scratch.read(u"good.txt"), "good");
    ASSERT_EQ(r.boxes.size(), 1u) << r.output;
    EXPECT_EQ(r.boxes[0].title, "終了");
    EXPECT_EQ(r.boxes[0].text, "展開先: " + dest() + "\nレポート: lzh-level3.lzh_dec_err_report.txt");
    const std::string report = scratch.read(u"lzh-level3.lzh_dec_err_report.txt");
    EXPECT_NE(report.find("エラー: " + (scratch.root() / "in" / "lzh-level3.lzh").string() +
                          "\n  LZHHeadDec: header format is illegal.\n"),
              std::string::npos)
        << report;
}

}  // namespace
