// Extraction against links and a full disk, through the real tsuchi with
// kanna and nomi beside it: the hostile archives extracted into a
// destination where the test has planted a link (to a directory outside,
// to a file outside, or dangling), and a member larger than a small
// file system. Nothing outside the destination may change, no link may be
// written through or made, and no temporary or partial file may stay.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "launcher_process.h"
#include "scratch_directory.h"
#include "shell_command.h"

namespace {

namespace fs = std::filesystem;

enum class Plant { none, link_to_directory, link_to_file, dangling_link };

struct Expected {
    const char* path;     // below the destination
    const char* content;  // a regular file holding this; nullptr: a link still
};

struct Case {
    const char* fixture;
    Plant plant;
    const char* answers;
    std::vector<Expected> files;
    std::vector<const char*> lines;  // in the boxes' texts
};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

// Every path below root with its content ("<dir>" for a directory, "->"
// and the target for a link), to compare a tree before and after.
std::vector<std::string> tree_of(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        if (entry.is_symlink()) {
            out.push_back(name + " -> " + fs::read_symlink(entry.path()).string());
        } else if (entry.is_directory()) {
            out.push_back(name + " <dir>");
        } else {
            out.push_back(name + " = " + read_file(entry.path()));
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool has_temporary_file(const fs::path& root) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().filename().string().starts_with(".tsuchi-")) return true;
    }
    return false;
}

// The boxes, then the report files the job wrote into the destination
// (the error lines go there when there are any).
std::string box_texts(const test_common::LauncherRun& run, const fs::path& dest) {
    std::string all;
    for (const auto& box : run.boxes) all += "[" + box.title + "]\n" + box.text + "\n";
    for (const auto& entry : fs::directory_iterator(dest)) {
        if (entry.path().filename().string().ends_with("_report.txt")) all += read_file(entry.path());
    }
    return all;
}

class HostileExtract : public ::testing::TestWithParam<Case> {};

TEST_P(HostileExtract, NothingOutsideChangesAndNoLinkIsFollowed) {
    const Case& c = GetParam();
    test_common::ScratchDirectory scratch("hostile");
    const fs::path dest = scratch / "dest";
    const fs::path outside = scratch / "outside";
    fs::create_directories(dest);
    fs::create_directories(outside);
    fs::create_directories(scratch / "in");
    write_file(outside / "keep.txt", "outside\n");
    fs::copy_file(fs::path(FIXTURES) / "hostile" / c.fixture, scratch / "in" / c.fixture);
    switch (c.plant) {
    case Plant::none: break;
    case Plant::link_to_directory: fs::create_directory_symlink("../outside", dest / "link"); break;
    case Plant::link_to_file: fs::create_symlink("../outside/keep.txt", dest / "link"); break;
    case Plant::dangling_link: fs::create_symlink("../outside/nothing", dest / "link"); break;
    }
    const std::vector<std::string> outside_before = tree_of(outside);

    const test_common::LauncherRun r = test_common::run_launcher({.program = TSUCHI_PROGRAM,
                                                                  .directory = dest,
                                                                  .arguments = {std::string("../in/") + c.fixture},
                                                                  .answers = c.answers});
    const std::string texts = box_texts(r, dest);

    EXPECT_EQ(tree_of(outside), outside_before) << texts;
    EXPECT_FALSE(has_temporary_file(dest)) << texts;
    for (const Expected& e : c.files) {
        const fs::path path = dest / e.path;
        if (e.content == nullptr) {
            EXPECT_TRUE(fs::is_symlink(path)) << e.path << "\n" << texts;
        } else {
            EXPECT_FALSE(fs::is_symlink(path)) << e.path << "\n" << texts;
            EXPECT_TRUE(fs::is_regular_file(path)) << e.path << "\n" << texts;
            EXPECT_EQ(read_file(path), e.content) << e.path;
        }
    }
    for (const char* line : c.lines) EXPECT_NE(texts.find(line), std::string::npos) << line << "\n" << texts;
}

constexpr const char* LINK_LINE = "シンボリックリンクは作らず、リンク先を書いたファイルとして出力。";
constexpr const char* MEMBER = "hostile member data\nhostile member data\nhostile member data\n"
                               "hostile member data\nhostile member data\n";

INSTANTIATE_TEST_SUITE_P(
    Links, HostileExtract,
    ::testing::Values(
        // Members under a planted link to a directory outside: refused.
        Case{"lzh-under-link.lzh",
             Plant::link_to_directory,
             "",
             {{"link", nullptr}},
             {"link\\x.txt >> リンク link を経由するので出力しない。", "link\\newdir\\x.txt >> リンク link を経由"}},
        Case{"zip-under-link.zip",
             Plant::link_to_directory,
             "",
             {{"link", nullptr}},
             {"link/x.txt >> リンク link を経由するので出力しない。", "link/newdir/x.txt >> リンク link を経由"}},
        // A member named like a link: asked; Yes replaces the link itself,
        // No leaves it; its target is never written.
        Case{"lzh-named-like-link.lzh", Plant::link_to_file, "y\n", {{"link", MEMBER}}, {"[上書き確認!?]\nlink\n"}},
        Case{"lzh-named-like-link.lzh", Plant::link_to_directory, "n\n", {{"link", nullptr}}, {"link >>スキップ！"}},
        Case{"zip-named-like-link.zip", Plant::dangling_link, "y\n", {{"link", MEMBER}}, {"[上書き確認!?]\nlink\n"}},
        Case{"zip-named-like-link.zip", Plant::link_to_file, "n\n", {{"link", nullptr}}, {"link >>スキップ！"}},
        // Link entries become regular files holding the target's text; a
        // member below one is refused, since it is no directory.
        Case{"lzh-symlink-l2.lzh", Plant::none, "", {{"evil", "../outside"}}, {LINK_LINE}},
        Case{"lzh-symlink-l0.lzh", Plant::none, "", {{"evil", "/tmp"}}, {LINK_LINE}},
        Case{"lzh-symlink-then-member.lzh",
             Plant::none,
             "",
             {{"evil", "../outside"}},
             {LINK_LINE, "evil\\x.txt >> evil がフォルダでないので出力しない。"}},
        Case{"zip-symlink.zip", Plant::none, "", {{"evil", "../outside"}}, {LINK_LINE}},
        Case{"zip-symlink-then-member.zip",
             Plant::none,
             "",
             {{"evil", "../outside"}},
             {LINK_LINE, "evil/x.txt >> evil がフォルダでないので出力しない。"}}));

// Yes to the overwrite question: the member replaces the file and keeps
// its permission bits, as writing over it would have kept them.
TEST(HostileExtractReplace, AReplacedFileKeepsItsPermissions) {
    for (const char* fixture : {"lzh-named-like-link.lzh", "zip-named-like-link.zip"}) {
        SCOPED_TRACE(fixture);
        test_common::ScratchDirectory scratch("replace");
        const fs::path dest = scratch / "dest";
        fs::create_directories(dest);
        fs::create_directories(scratch / "in");
        fs::copy_file(fs::path(FIXTURES) / "hostile" / fixture, scratch / "in" / fixture);
        write_file(dest / "link", "old\n");
        fs::permissions(dest / "link", fs::perms(0750));
        const test_common::LauncherRun r = test_common::run_launcher({.program = TSUCHI_PROGRAM,
                                                                      .directory = dest,
                                                                      .arguments = {std::string("../in/") + fixture},
                                                                      .answers = "y\n"});
        const std::string texts = box_texts(r, dest);
        EXPECT_EQ(read_file(dest / "link"), MEMBER) << texts;
        EXPECT_EQ(fs::status(dest / "link").permissions() & fs::perms::mask, fs::perms(0750)) << texts;
        EXPECT_FALSE(has_temporary_file(dest)) << texts;
    }
}

// A member larger than the file system it goes to: the file that stood at
// its name stays as it was, and nothing partial is left. A small tmpfs
// where the test may mount one (as root); otherwise the test says so and
// skips, since no other file system here fills up on demand.
TEST(HostileExtractFullDisk, OldFileStaysWhole) {
    test_common::ScratchDirectory scratch("fulldisk");
    const fs::path dest = scratch / "dest";
    fs::create_directories(dest);
    if (::mount("tsuchi-test", dest.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no tmpfs could be mounted (not root?): the full-disk case did not run";
    }
    struct Unmount {
        fs::path path;
        ~Unmount() { ::umount(path.c_str()); }
    } unmount{dest};
    std::cout << "full-disk case on a 64 KiB tmpfs\n";
    write_file(dest / "big.bin", "the old file\n");
    const fs::path archive = scratch / "big.zip";
    ASSERT_EQ(std::system(("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED);"
                           " z.writestr('big.bin', bytes(1<<20)); z.close()\" " +
                           test_common::quoted(archive))
                              .c_str()),
              0);
    const test_common::LauncherRun r = test_common::run_launcher({.program = TSUCHI_PROGRAM,
                                                                  .directory = dest,
                                                                  .arguments = {"../big.zip"},
                                                                  .answers = "y\n",
                                                                  .files = scratch.root()});
    const std::string texts = box_texts(r, dest);
    EXPECT_EQ(read_file(dest / "big.bin"), "the old file\n") << texts;
    EXPECT_FALSE(has_temporary_file(dest)) << texts;
    // The ZIP library ends the archive on a failed write.
    EXPECT_NE(texts.find("decode_archive: the output file could not be written."), std::string::npos) << texts;
}

}  // namespace
