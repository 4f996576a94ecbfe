// Proves, with the peers as oracles, that the archives the real tsuchi
// writes are sound: lhasa ("lhasa t", "lhasa x"), 7z ("7z t", "7z x") and
// bsdtar ("bsdtar -tf", "bsdtar -xf") test and extract them, and so does
// tsuchi itself through LZHDecode. The trees: text that shrinks, random
// bytes stored as -lh0-, empty files, nested folders and an empty one
// (/EMPD), a header of 256 bytes before its extra byte, and Japanese names
// under every name option. Sources are written and read in Berlin time.
//
// What the readers make of Japanese names (the table below says it per
// option set; the peers run under C.UTF-8, where tsuchi's own code page is
// UTF-8 too). tsuchi reads every archive it makes when it is dropped on it
// on a Japanese system: the UTF-16LE records 0x44/0x45 first, then the code
// page of record 0x46, then UTF-8 by its form, then the system's code page.
// With the switches it was made with it reads them too; /2, which takes
// narrow records for UTF-16, finds a UTF-16LE record for every name, ASCII
// ones included. bsdtar reads the UTF-16LE records
// and the code page of record 0x46 and gets every name right; for /CP:932,
// which writes no record of its code page, it must be told it. lhasa and 7z
// read only the narrow records: the UTF-8 of the code-page form here, the
// "_" of the ASCII fallback with /44, the Shift-JIS bytes of /CP:932. With
// /8 /bom the mark stays in front of each name for lhasa, 7z and bsdtar.
// The data always comes out intact.
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

// First characters all different, so that a reader that kept only the
// first character of each name (UTF-16 read as narrow text) would still
// give distinct files and be caught by the name check.
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

// How a reader extracts an archive: names and data as the source (exact),
// only the data (names of its own), or not at all.
enum class Reading { EXACT, DATA, REFUSED };
constexpr Reading E = Reading::EXACT, D = Reading::DATA, R = Reading::REFUSED;

// One name option set: how tsuchi makes the archive, and how each reader
// extracts it: tsuchi as the archive is dropped on it (no switch) and with
// the same switches, lhasa, 7z and bsdtar.
struct Case {
    const char* what;
    bool japanese;
    std::vector<std::string> switches;
    const char* locale;  // tsuchi's, which decides the ANSI code page
    Reading tsuchi, tsuchi_same, lhasa, seven_zip, bsdtar;
    std::string bsdtar_options = {};
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

const Case CASES[] = {
    //                                                               tsuchi same lhasa 7z bsdtar
    {"ASCII names, defaults", false, {"/EMPD"}, "C.UTF-8", E, E, E, E, E},
    {"defaults", true, {"/EMPD"}, "C.UTF-8", E, E, E, E, E},
    {"defaults on a Japanese system", true, {"/EMPD"}, "ja_JP.UTF-8", E, E, E, E, E},
    {"no /EMPD", true, {}, "C.UTF-8", E, E, E, E, E},
    {"/8", true, {"/EMPD", "/8"}, "C.UTF-8", E, E, E, E, E},
    {"/2", true, {"/EMPD", "/2"}, "C.UTF-8", E, E, E, E, E},
    {"/CP:932", true, {"/EMPD", "/CP:932"}, "C.UTF-8", E, E, D, D, E, "--options hdrcharset=CP932"},
    {"/44", true, {"/EMPD", "/44"}, "C.UTF-8", E, E, D, D, E},
    {"/CPH46", true, {"/EMPD", "/CPH46"}, "C.UTF-8", E, E, E, E, E},
    {"/FF", true, {"/EMPD", "/FF"}, "C.UTF-8", E, E, E, E, E},
    {"/8 /bom", true, {"/EMPD", "/8", "/bom"}, "C.UTF-8", E, E, D, D, D},
    {"/2 /bom", true, {"/EMPD", "/2", "/bom"}, "C.UTF-8", E, E, E, E, E},
};

// The files of a tree: paths below prefix, and data, each sorted.
std::pair<std::vector<std::string>, std::vector<std::string>> files_of(const std::map<std::string, Node>& tree) {
    std::vector<std::string> paths, contents;
    for (const auto& [path, node] : tree) {
        if (is_dir(path)) continue;
        paths.push_back(path);
        contents.push_back(node.data);
    }
    std::sort(contents.begin(), contents.end());
    return {paths, contents};
}

// The tree as an archive made without /EMPD holds it: no empty folders.
Tree without_empty_folders(const Tree& tree) {
    Tree kept;
    for (const Node& n : tree) {
        if (!is_dir(n.path)) kept.push_back(n);
    }
    return kept;
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
        std::map<std::string, Node> source;
        for (const Node& n : tree) source[prefix + n.path] = n;
        const auto [want_paths, want_data] = files_of(source);
        const auto [got_paths, got_data] = files_of(found);
        EXPECT_TRUE(got_data == want_data) << peer << ": the data differs";
        EXPECT_NE(got_paths, want_paths) << peer << " gets the names right now: the table is out of date";
    }

    Scratch scratch{"lzhcpeer"};
};

TEST_P(LzhCreatePeers, PeersAndTsuchiReadWhatTsuchiWrote) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.what);
    const Tree& source = c.japanese ? japanese_tree() : ascii_tree();
    const bool empd = std::find(c.switches.begin(), c.switches.end(), "/EMPD") != c.switches.end();
    const Tree tree = empd ? source : without_empty_folders(source);
    const std::string name = c.japanese ? "src" : "tree";
    const fs::path work = dir("work");
    write_tree(work / name, source);

    std::vector<std::string> arguments = {"/lzh"};
    arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
    arguments.push_back(name);
    const TsuchiRun made = run_tsuchi(work, arguments, "", std::string("LC_ALL=") + c.locale + " TZ=Europe/Berlin");
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

    // tsuchi itself: the archive dropped on it on a Japanese system (ANSI
    // code page 932, as Japanese Windows has it), and with the same
    // switches where the archive was made.
    for (const bool same : {false, true}) {
        const fs::path out = dir("out-tsuchi");
        std::vector<std::string> extract = same ? c.switches : std::vector<std::string>{};
        extract.push_back("../work/" + name + ".lzh");
        const TsuchiRun run = run_tsuchi(
            out, extract, "", std::string("LC_ALL=") + (same ? c.locale : "ja_JP.SJIS") + " TZ=Europe/Berlin");
        ASSERT_EQ(run.boxes.size(), 1u) << run.output;
        EXPECT_EQ(run.boxes[0].title, "終了") << run.output;
        expect_reading(same ? c.tsuchi_same : c.tsuchi, same ? "tsuchi, same switches" : "tsuchi", 0, "", out, tree,
                       name + "/");
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
        const int status =
            run_logged("cd " + quoted(out.string()) + " && " + env + "lhasa x " + a, scratch.root() / "log", log);
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
        status = run_logged(env + "bsdtar " + options + "-xf " + a + " -C " + quoted(out.string()),
                            scratch.root() / "log", log);
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
    const TsuchiRun made = run_tsuchi(
        work, {"/lzh", fs::relative(sources, work).string(), "text.txt", fs::relative(binary, work).string()});
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
