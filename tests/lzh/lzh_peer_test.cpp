// Proves, with the peers as oracles, that archives made by our level-2
// header writer are sound: lhasa ("lhasa t", "lhasa x"), 7z ("7z t",
// "7z x") and bsdtar ("bsdtar -t", "bsdtar -x") test, list and extract them
// to exactly the members written, nested directories, an empty file and
// directory, a file over 64 KiB, a header padded past a length that is a
// multiple of 256, and -lh5- members whose one-symbol codes cost no bits.
// Each peer is run as a process; a peer that is not installed is skipped.
#include <gtest/gtest.h>

#include <map>

#include "archive_options.h"
#include "lzh_test_support.h"
#include "shell_command.h"

namespace {

using namespace lzh_test;

using test_common::installed;
using test_common::quoted;
using test_common::run_logged;

struct Content {
    bool directory;
    std::string data;
};

// The members, as the peers should extract them. with_one_literal: with
// run.bin, an -lh5- member whose literal code, too, has the one-symbol
// form; libarchive rejects that form, so bsdtar gets the archive without it.
std::map<std::string, Content> expected_tree(bool with_one_literal) {
    std::string binary;
    for (int i = 0; i < 70000; ++i) binary.push_back(static_cast<char>((i * 7919) >> 3));
    std::map<std::string, Content> tree = {
        {"readme.txt", {false, "read me\n"}},
        {"empty.txt", {false, ""}},
        {"data/", {true, ""}},
        {"data/binary.bin", {false, binary}},
        {"docs/", {true, ""}},
        {"docs/guide/", {true, ""}},
        {"docs/guide/deep/", {true, ""}},
        {"docs/guide/deep/leaf.txt", {false, "leaf\n"}},
        {"docs/guide/intro.txt", {false, "intro\n"}},
        {"docs/empty/", {true, ""}},
        {std::string(222, 'n'), {false, "long\n"}},
        {"runs.bin", {false, std::string(1 + 3 * 256, 'B')}},
    };
    if (with_one_literal) tree["run.bin"] = {false, std::string(1000, 'A')};
    return tree;
}

// The same tree written with LZHHeadEnc.
ByteString peer_archive(bool with_one_literal) {
    const std::map<std::string, Content> tree = expected_tree(with_one_literal);
    std::vector<Member> members;
    auto file = [&](const WideString& directory, const std::string& name) {
        members.push_back(
            {.name = wide_from_utf8(name), .directory = directory, .data = tree.at(utf8(directory) + name).data});
    };
    file(u"", "readme.txt");
    file(u"", "empty.txt");
    file(u"data/", "binary.bin");
    file(u"docs/guide/deep/", "leaf.txt");
    file(u"docs/guide/", "intro.txt");
    members.push_back({.name = u"", .directory = u"docs/empty/", .method = "-lhd-"});
    // A name that makes the header 256 bytes long before its extra byte.
    file(u"", std::string(222, 'n'));
    // A literal and matches at distance 1: the position code has the
    // one-symbol form and costs no bits.
    members.push_back({.name = u"runs.bin",
                       .data = tree.at("runs.bin").data,
                       .method = "-lh5-",
                       .stored = lh5_data({Block({{'B'}, {509, 0}, {509, 0}, {509, 0}})})});
    // One block whose codes are all in the one-symbol form: 52 bits for
    // 1000 bytes.
    if (with_one_literal) {
        members.push_back({.name = u"run.bin",
                           .data = std::string(1000, 'A'),
                           .method = "-lh5-",
                           .stored = lh5_data({Block({{'A'}}, 1000)})});
    }
    return archive_of(members);
}

void expect_tree(const fs::path& root, const std::string& peer, bool with_one_literal) {
    const std::map<std::string, Content> expected = expected_tree(with_one_literal);
    std::vector<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        std::string p = fs::relative(item.path(), root).generic_string();
        if (item.is_directory()) p += "/";
        found.push_back(p);
        const auto it = expected.find(p);
        if (it == expected.end() || it->second.directory) continue;
        EXPECT_EQ(read_binary(item.path()), it->second.data) << peer << ": " << p;
        platform::FileStatus status;
        ASSERT_EQ(platform::file_status(Scratch::wide(item.path()), status), platform::StatResult::ok);
        EXPECT_EQ(status.modification_time, 1626352496) << peer << ": " << p;
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (const auto& [path, content] : expected) names.push_back(path);
    EXPECT_EQ(found, names) << peer;
}

class LzhPeers : public ::testing::TestWithParam<std::uint32_t> {
protected:
    void SetUp() override {
        reset_job_state();
        platform::set_ansi_code_page_override(1252);
        init_archive_options(options);
        options.flags = GetParam();
        job_state().create_mode = true;
        ASSERT_TRUE(setup_job(&options));
        archive = scratch.archive("ours.lzh", peer_archive(true));
        reset_job_state();
        ASSERT_TRUE(setup_job(&options));
        archive_without_one_literal = scratch.archive("ours-bsdtar.lzh", peer_archive(false));
        reset_job_state();
    }
    void TearDown() override {
        reset_job_state();
        platform::set_ansi_code_page_override(0);
    }

    fs::path out(const std::string& peer) const {
        const fs::path dir = scratch.root() / ("out-" + peer);
        fs::create_directory(dir);
        return dir;
    }
    std::string archive_path() const { return utf8(archive); }
    std::string archive_without_one_literal_path() const { return utf8(archive_without_one_literal); }

    TimeZone utc{"UTC0"};
    Scratch scratch{"lzhpeer"};
    ArchiveOptions options;
    WideString archive;
    WideString archive_without_one_literal;
};

TEST_P(LzhPeers, LhasaTestsAndExtractsOurArchive) {
    if (!installed("lhasa")) GTEST_SKIP() << "lhasa is not installed; the peer check is skipped";
    std::string text;
    EXPECT_EQ(run_logged("lhasa t " + quoted(archive_path()), scratch.root() / "lhasa-t.log", text), 0) << text;
    EXPECT_EQ(text.find("CRC error"), std::string::npos) << text;
    const fs::path dir = out("lhasa");
    EXPECT_EQ(run_logged("cd " + quoted(dir.string()) + " && lhasa x " + quoted(archive_path()),
                         scratch.root() / "lhasa-x.log", text),
              0)
        << text;
    expect_tree(dir, "lhasa", true);
}

TEST_P(LzhPeers, SevenZipTestsAndExtractsOurArchive) {
    if (!installed("7z")) GTEST_SKIP() << "7z is not installed; the peer check is skipped";
    std::string text;
    EXPECT_EQ(run_logged("7z t " + quoted(archive_path()), scratch.root() / "7z-t.log", text), 0) << text;
    EXPECT_NE(text.find("Everything is Ok"), std::string::npos) << text;
    const fs::path dir = out("7z");
    EXPECT_EQ(
        run_logged("7z x -o" + quoted(dir.string()) + " " + quoted(archive_path()), scratch.root() / "7z-x.log", text),
        0)
        << text;
    expect_tree(dir, "7z", true);
}

TEST_P(LzhPeers, BsdtarListsAndExtractsOurArchive) {
    if (!installed("bsdtar")) GTEST_SKIP() << "bsdtar is not installed; the peer check is skipped";
    std::string text;
    const std::string path = archive_without_one_literal_path();
    EXPECT_EQ(run_logged("bsdtar -tf " + quoted(path), scratch.root() / "bsdtar-t.log", text), 0) << text;
    EXPECT_NE(text.find("docs/guide/deep/leaf.txt"), std::string::npos) << text;
    const fs::path dir = out("bsdtar");
    EXPECT_EQ(
        run_logged("bsdtar -xf " + quoted(path) + " -C " + quoted(dir.string()), scratch.root() / "bsdtar-x.log", text),
        0)
        << text;
    expect_tree(dir, "bsdtar", false);
}

// Plain names with "/" in the directory records, and the Unicode-header
// form, whose directory records use 0xFF separators.
INSTANTIATE_TEST_SUITE_P(Options, LzhPeers, ::testing::Values(0u, static_cast<std::uint32_t>(OPT_UNICODE_HEADER)),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return info.param == 0 ? std::string("Plain") : std::string("UnicodeHeader");
                         });

}  // namespace
