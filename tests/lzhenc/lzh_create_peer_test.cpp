// Proves, with the peers as oracles, that the archives the real tsuchi
// writes are sound: lhasa ("lhasa t", "lhasa x"), 7z ("7z t", "7z x") and
// bsdtar ("bsdtar -tf", "bsdtar -xf") test and extract them, and so does
// tsuchi itself through LZHDecode. The trees: text that shrinks, random
// bytes stored as -lh0-, empty files, nested folders and an empty one
// (/EMPD), a header of 256 bytes before its extra byte, and Japanese names
// under every name option. Sources are written and read in Berlin time.
//
// What the peers make of Japanese names (the rows below say it per option
// set): bsdtar reads the UTF-16LE records 0x44/0x45 and the code page of
// record 0x46 and gets every name right; for /CP:932, which writes no
// record of its code page, it must be told it. lhasa and 7z read only the
// narrow records: with the defaults they find the "?" of the code-page or
// ASCII form, on a Japanese system and with /CP:932 the Shift-JIS bytes
// (7z also splits a name at a trail byte 0x5C), with /2 UTF-16 bytes cut
// at the first zero byte. /8 writes UTF-8 with the byte 0xFF between
// directories: lhasa and bsdtar (under a UTF-8 locale) get every name
// right, 7z reads the bytes in its own code page; with /bom the mark
// stays in front of each name. bsdtar refuses /2 archives with Japanese
// names ("Invalid extended LHa header"). The data always comes out intact.
//
// Also: a corpus (these tests' own sources, 3 MiB of text, a binary)
// through lhasa and tsuchi. Linux only; a peer that is not installed is
// skipped.
#include <gtest/gtest.h>

#include <algorithm>

#include "lzhenc_support.h"
#include "tsuchi_process.h"

namespace {

using namespace lzhenc_test;

// 2021-07-15 23:30:00 in Berlin (summer time), 21:30 UTC: a stamp an hour
// off would fall on the next day there.
constexpr std::int64_t LATE_SUMMER = 1626384600;
constexpr std::int64_t WINTER = 1611142496;  // 2021-01-20 12:34:56 in Berlin

const Tree& ascii_tree() {
    static const Tree tree = {
        {"text.txt", text_of(30000), LATE_SUMMER},
        {"random.bin", random_bytes(5000), WINTER},
        {"empty.txt", "", LATE_SUMMER},
        {"docs/guide/deep/leaf.txt", "leaf\n", WINTER},
        {"docs/guide/intro.txt", text_of(2000, 5), LATE_SUMMER},
        {"docs/empty/"},
        {"docs/guide/nothing.txt", "", WINTER},
        // 37 bytes, the name and "tree" with its separator: 256.
        {std::string(214, 'n'), "long\n", WINTER},
    };
    return tree;
}

// First characters all different: with /2 the peers keep only the first
// character of each name.
const Tree& japanese_tree() {
    static const Tree tree = {
        {"日本語/表.txt", text_of(3000, 3), LATE_SUMMER},
        {"日本語/深い/ソ.txt", "deep\n", WINTER},
        {"日本語/b.txt", "ascii name\n", LATE_SUMMER},
        {"docs/a.txt", text_of(500, 4), WINTER},
        {"random.bin", random_bytes(700), LATE_SUMMER},
        {"empty.txt", "", WINTER},
        {"空/"},
    };
    return tree;
}

// How a peer reads an archive: names and data as the source (exact), only
// the data (its own names), or not at all.
enum class Reading { EXACT, DATA, REFUSED };

struct Case {
    const char* what;
    bool japanese;
    std::vector<std::string> switches;
    const char* locale;  // tsuchi's, which decides the ANSI code page
    Reading lhasa, seven_zip, bsdtar;
    std::string bsdtar_options = {};
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

const Case CASES[] = {
    {"ASCII names, defaults", false, {}, "C.UTF-8", Reading::EXACT, Reading::EXACT, Reading::EXACT},
    {"defaults", true, {}, "C.UTF-8", Reading::DATA, Reading::DATA, Reading::EXACT},
    {"defaults on a Japanese system", true, {}, "ja_JP.UTF-8", Reading::DATA, Reading::DATA, Reading::EXACT},
    {"/CP:932", true, {"/CP:932"}, "C.UTF-8", Reading::DATA, Reading::DATA, Reading::EXACT,
     "--options hdrcharset=CP932"},
    {"/8", true, {"/8"}, "C.UTF-8", Reading::EXACT, Reading::DATA, Reading::EXACT},
    {"/2", true, {"/2"}, "C.UTF-8", Reading::DATA, Reading::DATA, Reading::REFUSED},
    {"/8 /bom", true, {"/8", "/bom"}, "C.UTF-8", Reading::DATA, Reading::DATA, Reading::DATA},
    {"/2 /bom", true, {"/2", "/bom"}, "C.UTF-8", Reading::DATA, Reading::DATA, Reading::REFUSED},
};

std::vector<std::string> contents_of(const std::map<std::string, Node>& tree) {
    std::vector<std::string> contents;
    for (const auto& [path, node] : tree) {
        if (!is_dir(path)) contents.push_back(node.data);
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

class LzhCreatePeers : public ::testing::TestWithParam<Case> {
protected:
    fs::path dir(const std::string& name) const {
        const fs::path p = scratch.root() / name;
        fs::remove_all(p);
        fs::create_directories(p);
        return p;
    }

    // Checks what one peer extracted into out, as the case says it reads.
    void expect_reading(Reading reading, const std::string& peer, int status, const std::string& log,
                        const fs::path& out, const Tree& tree, const std::string& prefix) {
        if (reading == Reading::REFUSED) {
            EXPECT_NE(status, 0) << peer << " reads it now: the note above is out of date\n" << log;
            return;
        }
        EXPECT_EQ(status, 0) << peer << "\n" << log;
        const std::map<std::string, Node> found = read_tree(out);
        if (reading == Reading::EXACT) {
            expect_same_tree(tree, found, prefix, peer);
            return;
        }
        std::vector<std::string> expected;
        for (const Node& n : tree) {
            if (!is_dir(n.path)) expected.push_back(n.data);
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_TRUE(contents_of(found) == expected) << peer << ": the data differs";
    }

    Scratch scratch{"lzhcpeer"};
};

TEST_P(LzhCreatePeers, PeersAndTsuchiReadWhatTsuchiWrote) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.what);
    const Tree& tree = c.japanese ? japanese_tree() : ascii_tree();
    const std::string name = c.japanese ? "src" : "tree";
    const fs::path work = dir("work");
    write_tree(work / name, tree);

    std::vector<std::string> arguments = {"/lzh", "/EMPD"};
    arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
    arguments.push_back(name);
    const TsuchiRun made =
        run_tsuchi(work, arguments, "", std::string("LC_ALL=") + c.locale + " TZ=Europe/Berlin");
    ASSERT_EQ(made.boxes.size(), 1u) << made.output;
    EXPECT_EQ(made.boxes[0].title, "終了") << made.output;
    const fs::path archive = work / (name + ".lzh");
    ASSERT_TRUE(fs::exists(archive));
    const std::string a = quoted(archive.string());
    const Walk walk = walk_archive(read_binary(archive));
    EXPECT_TRUE(walk.ended);
    for (const Entry& e : walk.entries) EXPECT_NE(e.header_length % 256, 0u) << e.stored_path();
    if (!c.japanese) {
        EXPECT_TRUE(std::any_of(walk.entries.begin(), walk.entries.end(),
                                [](const Entry& e) { return e.header_length == 257; }));
    }
    const std::string env = "LC_ALL=C.UTF-8 TZ=Europe/Berlin ";
    std::string log;

    // Our own decoder, given the same name options.
    {
        const fs::path out = dir("out-tsuchi");
        std::vector<std::string> extract = c.switches;
        extract.push_back("../work/" + name + ".lzh");
        const TsuchiRun run = run_tsuchi(out, extract);
        ASSERT_EQ(run.boxes.size(), 1u) << run.output;
        EXPECT_EQ(run.boxes[0].title, "終了") << run.output;
        expect_same_tree(tree, read_tree(out), name + "/", "tsuchi");
    }
    if (installed("lhasa")) {
        EXPECT_EQ(run_logged(env + "lhasa t " + a, scratch.root() / "log", log), 0) << log;
        EXPECT_EQ(log.find("CRC error"), std::string::npos) << log;
        if (!c.japanese) {
            // lhasa lists the time in the local zone: the source's own day.
            EXPECT_EQ(run_logged(env + "lhasa v " + a + " | grep text.txt", scratch.root() / "log", log), 0);
            EXPECT_NE(log.find("Jul 15  2021"), std::string::npos) << log;
        }
        const fs::path out = dir("out-lhasa");
        const int status = run_logged("cd " + quoted(out.string()) + " && " + env + "lhasa x " + a, scratch.root() / "log", log);
        expect_reading(c.lhasa, "lhasa", status, log, out, tree, name + "/");
    }
    if (installed("7z")) {
        EXPECT_EQ(run_logged(env + "7z t " + a, scratch.root() / "log", log), 0) << log;
        EXPECT_NE(log.find("Everything is Ok"), std::string::npos) << log;
        const fs::path out = dir("out-7z");
        const int status = run_logged(env + "7z x -o" + quoted(out.string()) + " " + a, scratch.root() / "log", log);
        expect_reading(c.seven_zip, "7z", status, log, out, tree, name + "/");
    }
    if (installed("bsdtar")) {
        const std::string options = c.bsdtar_options.empty() ? "" : c.bsdtar_options + " ";
        int status = run_logged(env + "bsdtar " + options + "-tf " + a, scratch.root() / "log", log);
        if (c.bsdtar != Reading::REFUSED) {
            EXPECT_EQ(status, 0) << log;
        }
        const fs::path out = dir("out-bsdtar");
        status = run_logged(env + "bsdtar " + options + "-xf " + a + " -C " + quoted(out.string()), scratch.root() / "log", log);
        expect_reading(c.bsdtar, "bsdtar", status, log, out, tree, name + "/");
    }
}

INSTANTIATE_TEST_SUITE_P(OptionSets, LzhCreatePeers, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return "Case" + std::to_string(info.index);
                         });

// These tests' own sources, 3 MiB of text and a binary, dropped together.
TEST(LzhCreateCorpus, RoundTripsThroughLhasaAndTsuchi) {
    Scratch scratch("lzhcorpus");
    const fs::path work = scratch.root() / "work";
    fs::create_directories(work);
    std::ofstream(work / "text.txt", std::ios::binary) << text_of(3 << 20, 7);
    const fs::path sources = fs::path(TSUCHI_SOURCE_DIR) / "tests";
    const fs::path binary = fs::path(KANNA_LIBRARY);
    const TsuchiRun made = run_tsuchi(work, {"/lzh", fs::relative(sources, work).string(), "text.txt",
                                             fs::relative(binary, work).string()});
    ASSERT_EQ(made.boxes.size(), 1u) << made.output;
    EXPECT_EQ(made.boxes[0].title, "終了") << made.output;
    const fs::path archive = work / "tests~~.lzh";
    ASSERT_TRUE(fs::exists(archive)) << made.output;

    const auto expect_corpus = [&](const fs::path& out, const std::string& who) {
        const std::map<std::string, Node> source_tree = read_tree(sources);
        const std::map<std::string, Node> found = read_tree(out / "tests");
        EXPECT_EQ(found.size(), source_tree.size()) << who;
        for (const auto& [path, node] : source_tree) {
            const auto it = found.find(path);
            EXPECT_TRUE(it != found.end() && it->second.data == node.data) << who << ": " << path;
        }
        EXPECT_TRUE(read_binary(out / "text.txt") == read_binary(work / "text.txt")) << who;
        EXPECT_TRUE(read_binary(out / binary.filename()) == read_binary(binary)) << who;
    };
    {
        const fs::path out = scratch.root() / "out-tsuchi";
        fs::create_directories(out);
        const TsuchiRun run = run_tsuchi(out, {"../work/tests~~.lzh"});
        EXPECT_EQ(run.boxes.size(), 1u) << run.output;
        expect_corpus(out, "tsuchi");
    }
    if (installed("lhasa")) {
        const fs::path out = scratch.root() / "out-lhasa";
        fs::create_directories(out);
        std::string log;
        EXPECT_EQ(run_logged("cd " + quoted(out.string()) + " && lhasa x " + quoted(archive.string()),
                             scratch.root() / "log", log),
                  0)
            << log;
        expect_corpus(out, "lhasa");
    }
}

}  // namespace
