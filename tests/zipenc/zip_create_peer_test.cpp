// Proves that the archives ZIPEncode writes are read by the peer tools and
// by our own ZIPDecode: a tree of text that shrinks, random bytes that are
// stored, empty files, empty and nested folders and Japanese names, once
// with the default UTF-8 names (bit 11), once with code page 932 names, and
// once at each of the levels /lazy and /best.
// unzip -t, 7z t, bsdtar -tf and Python's testzip() pass every archive,
// and each peer extracts it to the source tree byte for byte, names as the
// peer decodes them (for code page 932 each is told the charset). The
// peers run on Linux only; under Wine the round trip through ZIPDecode
// stands alone.
#include <gtest/gtest.h>

#include <cstdlib>

#include "shell_command.h"
#include "zip_create_support.h"

namespace {

using namespace ziptest;

ByteString random_bytes(std::size_t count, unsigned seed) {
    std::srand(seed);
    ByteString bytes;
    for (std::size_t i = 0; i < count; ++i) bytes.push_back(static_cast<char>(std::rand() >> 7));
    return bytes;
}

Tree source_tree() {
    ByteString text;
    for (int i = 0; text.size() < 200000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + " of a long text\n";
    return {{"src/text/long.txt", text},
            {"src/text/short.txt", "hello, hello, hello\n"},
            {"src/random.bin", random_bytes(70000, 1)},
            {"src/empty.txt", ""},
            {"src/void/", ""},
            {"src/a/b/c/deep.txt", "deep\n"},
            {"src/a/b/empty/", ""},
            {"src/日本語/ファイル名.txt", "日本語の本文\n"},
            {"src/日本語/空のフォルダ/", ""},
            {"src/表示/ソ能.bin", random_bytes(300, 2)}};
}

struct Options {
    const char* name;
    ArchiveOptions options;
    bool cp932;
};
void PrintTo(const Options& options, std::ostream* out) { *out << options.name; }

#if !defined(_WIN32)
using test_common::quoted;

// How a peer names what it extracts: the source names (it honours bit 11,
// or the charset it is told) or the stored bytes as they are.
enum class Names { source, stored };

// One peer: its commands with {a} for the archive, {d} for the directory
// to extract into and {c} for the charset switch of code page 932 names,
// and how it names entries with UTF-8 and with code page 932 names.
struct Peer {
    const char* name;
    const char* test;
    const char* extract;
    const char* charset;
    Names utf8_names, cp932_names;
};

#define PYTHON_PEER(body)                                                                                              \
    "python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1], "                                              \
    "metadata_encoding=sys.argv[2] or None); " body "\" {a} '{c}'"

// unzip 6.0 takes the names of an archive made on Unix (upper byte of
// version made by 3) as they are stored, and has no switch for another
// charset. (On an MS-DOS archive it would turn every name from code page
// 437 into ISO 8859-1, bit 11 notwithstanding.)
// p7zip writes names that are not UTF-8 as the bytes they are, whatever
// -mcp says.
const Peer PEERS[] = {
    {"unzip", "unzip -tq {a}", "unzip -q {a} -d {d}", "", Names::source, Names::stored},
    {"7z", "7z t {c} {a}", "7z x -y {c} -o{d} {a}", "-mcp=932", Names::source, Names::stored},
    {"bsdtar", "bsdtar {c} -tf {a}", "mkdir -p {d} && bsdtar {c} -xf {a} -C {d}", "--options hdrcharset=CP932",
     Names::source, Names::source},
    {"python", PYTHON_PEER("sys.exit(z.testzip() is not None)"), PYTHON_PEER("z.extractall(sys.argv[3])") " {d}",
     "cp932", Names::source, Names::source},
};

std::string command_of(std::string text, const fs::path& archive, const fs::path& directory, const char* charset) {
    for (const auto& [key, value] :
         {std::pair<std::string, std::string>{"{a}", quoted(archive)}, {"{d}", quoted(directory)}, {"{c}", charset}}) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
    }
    return "LC_ALL=C.UTF-8 " + text;
}

// The source name of a stored name.
std::string source_name_of(const ByteString& stored, bool cp932) {
    if (!cp932) return stored;
    char16_t wide[1024];
    const int length = platform::multibyte_to_wide(932, 0, stored.data(), static_cast<int>(stored.size()), wide, 1024);
    return utf8_of(WideString(wide, static_cast<std::size_t>(length)));
}
#endif

class ZipCreatePeers : public ::testing::TestWithParam<Options> {};

TEST_P(ZipCreatePeers, EveryPeerReadsTheArchiveBack) {
    ScratchDirectory scratch;
    const Tree tree = source_tree();
    write_tree(scratch.root(), tree);
    const fs::path archive = scratch / "out.zip";
    const EncodeRun run = zip_encode({scratch / "src"}, archive, GetParam().options);
    ASSERT_EQ(run.errors, u"");

    const Layout layout = layout_of(read_file(archive));
    expect_sound(layout);
    // What the peers must cope with: both methods, and bit 11 exactly on
    // the names that need it when they are UTF-8.
    int stored = 0, deflated = 0;
    for (const Record& record : layout.records) {
        (record.method == ZIP_METHOD_STORED ? stored : deflated) += 1;
        const bool ascii = std::all_of(record.name.begin(), record.name.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        EXPECT_EQ(record.flags, !GetParam().cp932 && !ascii ? ZIP_FLAG_UTF8 : 0u) << record.name;
    }
    EXPECT_GT(stored, 0);
    EXPECT_GT(deflated, 0);

    fs::create_directory(scratch / "ours");
    ASSERT_TRUE(platform::set_current_directory(wide_of(scratch / "ours")));
    EXPECT_EQ(zip_decode({archive}, GetParam().options).errors, u"");
    EXPECT_EQ(tree_difference(read_tree(scratch / "ours"), tree), "");

#if !defined(_WIN32)
    const bool cp932 = GetParam().cp932;
    const fs::path log = scratch / "peer.log";
    for (const Peer& peer : PEERS) {
        const fs::path out = scratch / peer.name;
        const char* charset = cp932 ? peer.charset : "";
        const std::string redirect = " >>" + quoted(log) + " 2>&1";
        EXPECT_EQ(std::system((command_of(peer.test, archive, out, charset) + redirect).c_str()), 0)
            << peer.name << "\n"
            << read_file(log);
        EXPECT_EQ(std::system((command_of(peer.extract, archive, out, charset) + redirect).c_str()), 0)
            << peer.name << "\n"
            << read_file(log);

        const Names names = cp932 ? peer.cp932_names : peer.utf8_names;
        Tree want;
        for (const Record& record : layout.records) {
            const ByteString& content = tree.at(source_name_of(record.name, cp932));
            want[names == Names::source ? source_name_of(record.name, cp932) : record.name] = content;
        }
        EXPECT_EQ(tree_difference(read_tree(out), want), "") << peer.name;
    }
#endif
}

ArchiveOptions code_page_932() {
    ArchiveOptions options = default_options(OPT_CODEPAGE_SET, 932);
    return options;
}

INSTANTIATE_TEST_SUITE_P(Names, ZipCreatePeers,
                         ::testing::Values(Options{"utf8", default_options(OPT_UTF8), false},
                                           Options{"cp932", code_page_932(), true},
                                           Options{"lazy", default_options(OPT_UTF8 | OPT_DEFLATE_LAZY), false},
                                           Options{"best", default_options(OPT_UTF8 | OPT_DEFLATE_BEST), false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
