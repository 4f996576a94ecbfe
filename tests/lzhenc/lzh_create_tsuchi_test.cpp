// Proves LZH creation through the real program on Linux: tsuchi run as a
// process with the real kanna beside it, the paths on its command line as
// a drop gives them, the answers on standard input and the boxes read back
// from standard output. A folder dropped, files from two folders, a new
// x.lzh named, an existing archive answered No and Yes, and an archive on
// a device that fills up.
#include <gtest/gtest.h>

#include <set>

#include "lzhenc_support.h"
#include "tsuchi_process.h"

namespace {

using namespace lzhenc_test;

const char* const FORMAT_QUESTION = "LZH 形式で圧縮？、[いいえ]なら ZIP";

class LzhCreateTsuchi : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(work);
        write_tree(work, {{"docs/a.txt", text_of(5000)}, {"docs/sub/b.bin", random_bytes(900)}, {"B/c.txt", "c"}});
    }

    // The stored paths of an archive and their data.
    static std::map<std::string, std::string> members(const fs::path& archive) {
        std::map<std::string, std::string> stored;
        for (const Entry& e : walk_archive(read_binary(archive)).entries) stored[e.stored_path()] = e.data;
        return stored;
    }

    std::string saved(const std::string& name) const { return "保存名: " + (work / name).string(); }

    Scratch scratch{"lzhctsuchi"};
    const fs::path work = scratch.root() / "work";
};

TEST_F(LzhCreateTsuchi, AFolderDropped) {
    const TsuchiRun run = run_tsuchi(work, {"docs"}, "y\n");
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.boxes.size(), 2u) << run.output;
    EXPECT_EQ(run.boxes[0].text, FORMAT_QUESTION);
    EXPECT_EQ(run.boxes[0].buttons, "(Yes/No/Cancel)?");
    EXPECT_EQ(run.boxes[1].title, "終了");
    EXPECT_EQ(run.boxes[1].text, saved("docs.lzh"));
    const auto stored = members(work / "docs.lzh");
    EXPECT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored.at("docs/sub/b.bin"), read_binary(work / "docs/sub/b.bin"));
    EXPECT_EQ(stored.count("docs/a.txt"), 1u);
}

TEST_F(LzhCreateTsuchi, FilesFromTwoFolders) {
    const TsuchiRun run = run_tsuchi(work, {"docs/a.txt", "B/c.txt"}, "y\n");
    ASSERT_EQ(run.boxes.size(), 2u) << run.output;
    EXPECT_EQ(run.boxes[1].text, saved("a.txt~~.lzh"));
    const auto stored = members(work / "a.txt~~.lzh");
    EXPECT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored.count("a.txt"), 1u);
    EXPECT_EQ(stored.at("c.txt"), "c");
}

TEST_F(LzhCreateTsuchi, ANewArchiveNamed) {
    // Naming an archive that does not exist yet makes it, without a question.
    const TsuchiRun run = run_tsuchi(work, {"x.lzh", "docs", "B"});
    ASSERT_EQ(run.boxes.size(), 1u) << run.output;
    EXPECT_EQ(run.boxes[0].title, "終了");
    EXPECT_EQ(run.boxes[0].text, saved("x.lzh"));
    const auto stored = members(work / "x.lzh");
    EXPECT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored.at("B/c.txt"), "c");
}

TEST_F(LzhCreateTsuchi, AnExistingArchiveAnsweredNoAndYes) {
    std::ofstream(work / "docs.lzh", std::ios::binary) << "old";
    const std::string question = saved("docs.lzh") + "\n既に同名ファイルが存在するが、続行(上書き)するか？ ";
    TsuchiRun run = run_tsuchi(work, {"/lzh", "docs"}, "n\n");
    ASSERT_EQ(run.boxes.size(), 1u) << run.output;
    EXPECT_EQ(run.boxes[0].title, "上書き確認!?");
    EXPECT_EQ(run.boxes[0].text, question);
    EXPECT_EQ(run.boxes[0].buttons, "(Yes/No)?");
    EXPECT_EQ(read_binary(work / "docs.lzh"), "old");

    run = run_tsuchi(work, {"/lzh", "docs"}, "y\n");
    ASSERT_EQ(run.boxes.size(), 2u) << run.output;
    EXPECT_EQ(run.boxes[0].text, question);
    EXPECT_EQ(run.boxes[1].title, "終了");
    EXPECT_EQ(members(work / "docs.lzh").size(), 2u);
}

TEST_F(LzhCreateTsuchi, AnArchiveOnADeviceThatFillsUp) {
    // A 64 KiB file system, where the machine lets us mount one.
    const fs::path full = work / "full";
    fs::create_directories(full);
    if (std::system(("mount -t tmpfs -o size=64k tmpfs " + quoted(full.string()) + " 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here; the driver's own test writes to /dev/full";
    }
    write_tree(work, {{"big.bin", random_bytes(200000)}});
    const TsuchiRun run = run_tsuchi(work, {"full/big.lzh", "docs", "big.bin"});
    std::system(("umount " + quoted(full.string())).c_str());
    ASSERT_EQ(run.boxes.size(), 1u) << run.output;
    EXPECT_EQ(run.boxes[0].title, "終了");
    EXPECT_EQ(run.boxes[0].text, saved("full/big.lzh") + "\nレポート: big.lzh_enc_err_report.txt");
    const std::string report = read_binary(work / "big.lzh_enc_err_report.txt");
    EXPECT_NE(report.find("エラー: " + (work / "full/big.lzh").string() + "\n  encode: file write failed.\n"),
              std::string::npos)
        << report;
}

}  // namespace
