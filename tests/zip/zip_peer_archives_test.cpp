// Proves extraction of the archives other tools write, through the export
// ZIPDecode in process: the checked-in fixtures (Python's zipfile, Info-ZIP
// with UTF-8 and code page 932 names, 7-Zip, zopfli's Deflate data) against
// the payload manifests, and the archives make_peer_data.py made at build
// time (Info-ZIP -0/-1/-6/-9, zipfile stored and deflated at levels 1 and 9,
// 7z -mx=1/5/9) of a tree with a file of more than 1 MiB, empty files and
// folders and Japanese names, byte for byte. Where a peer writes data
// descriptors (bsdtar) the archive ends with a clean error and what was
// written before it is intact.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "zip_decode_run.h"

namespace {

using namespace ziptest;

struct ManifestEntry {
    bool directory;
    std::uint64_t size;
    std::uint32_t crc;
    std::int64_t mtime;
    std::string path;  // "/"-separated, a directory ends in "/"
};

// Both manifest forms have kind, size, CRC-32 and mtime first and the path
// last.
std::vector<ManifestEntry> read_manifest(const fs::path& path) {
    std::vector<ManifestEntry> entries;
    for (const auto& row : read_tsv(path)) {
        const bool directory = row[0] == "d";
        entries.push_back({directory, std::stoull(row[1]),
                           directory ? 0u : static_cast<std::uint32_t>(std::stoul(row[2], nullptr, 16)),
                           std::stoll(row[3]), row.back()});
    }
    EXPECT_FALSE(entries.empty()) << path;
    return entries;
}

std::set<std::string> extracted_paths(const fs::path& root) { return test_common::paths_below(root, true); }

std::int64_t mtime_of(const fs::path& path) {
    platform::FileStatus status;
    platform::file_status(wide_of(path), status);
    return status.modification_time;
}

// The extracted tree holds exactly the entries: files of the right size,
// CRC and time (and, with a source tree, the same bytes), and folders.
void expect_tree(const fs::path& root, const std::vector<ManifestEntry>& entries, const fs::path& source = {}) {
    std::set<std::string> wanted;
    for (const ManifestEntry& entry : entries) {
        wanted.insert(entry.path);
        const fs::path path = root / utf8_path(entry.path);
        if (entry.directory) {
            EXPECT_TRUE(fs::is_directory(path)) << entry.path;
            continue;
        }
        const ByteString content = read_file(path);
        EXPECT_EQ(content.size(), entry.size) << entry.path;
        EXPECT_EQ(crc32_of(content), entry.crc) << entry.path;
        EXPECT_EQ(mtime_of(path), entry.mtime) << entry.path;
        if (!source.empty()) {
            EXPECT_TRUE(content == read_file(source / utf8_path(entry.path))) << entry.path;
        }
    }
    EXPECT_EQ(extracted_paths(root), wanted);
}

class PeerArchives : public ::testing::Test {
protected:
    fs::path destination() {
        const fs::path path = scratch / ("dest" + std::to_string(serial++));
        fs::create_directory(path);
        EXPECT_TRUE(platform::set_current_directory(wide_of(path)));
        return path;
    }

    // Every archive of the build's peer data that the peer made.
    void peer_archives(const std::string& peer) {
        for (const auto& row : read_tsv(peer_data_path("skipped.tsv"))) {
            if (row[1].rfind(peer + " ", 0) == 0) GTEST_SKIP() << row[1];
        }
        const auto rows = read_tsv(peer_data_path("archives.tsv"));
        if (rows.empty()) GTEST_SKIP() << "no peer data: make_peer_data.py did not run (python3 missing at build time)";
        const std::vector<ManifestEntry> entries = read_manifest(peer_data_path("manifest.tsv"));
        int seen = 0;
        for (const auto& row : rows) {
            if (row[1] != peer) continue;
            SCOPED_TRACE(row[0]);
            ++seen;
            const fs::path root = destination();
            const DecodeRun run = zip_decode({peer_data_path("archives/" + row[0])},
                                             default_options(row[2] == "utf8" ? std::uint32_t{OPT_UTF8} : 0u));
            EXPECT_EQ(run.errors, u"") << utf8_of(run.errors);
            expect_tree(root, entries, peer_data_path("tree"));
        }
        EXPECT_GT(seen, 0);
    }

    ScratchDirectory scratch;
    int serial = 0;
};

TEST_F(PeerArchives, InfoZipLevels0To9) { peer_archives("zip"); }
TEST_F(PeerArchives, PythonStoredAndDeflated) { peer_archives("python"); }
TEST_F(PeerArchives, SevenZipLevels1To9) { peer_archives("7z"); }
TEST_F(PeerArchives, BsdtarDataDescriptors) { peer_archives("bsdtar"); }

TEST_F(PeerArchives, CheckedInFixtures) {
    const auto all = [](const std::string&) { return true; };
    const auto not_zeros = [](const std::string& path) { return path != "zeros.bin"; };
    const auto stored_7z = [](const std::string& path) {
        return path == "alpha.txt" || path == "empty.txt" || path.rfind("docs/", 0) == 0;
    };
    // The paths listed, their folders, and everything in a listed folder.
    const auto only = [](std::vector<std::string> listed) {
        return [listed](const std::string& path) {
            for (const std::string& item : listed) {
                if (path == item || (item.rfind(path, 0) == 0 && path.back() == '/')) return true;
                if (item.back() == '/' && path.rfind(item, 0) == 0) return true;
            }
            return false;
        };
    };
    const auto zopfli = only({"alpha.txt", "empty.txt", "pattern7.bin", "data/binary.bin"});
    const auto three = only({"alpha.txt", "empty.txt", "docs/crlf.txt"});
    const auto two = only({"alpha.txt", "empty.txt"});
    const auto levels = only({"alpha.txt", "pattern7.bin", "docs/"});
    struct Case {
        const char* archive;
        const char* manifest;
        std::uint32_t flags;
        std::int32_t code_page;
        std::function<bool(const std::string&)> holds;
    };
    const std::vector<Case> cases = {
        {"zip-python/tree-deflated.zip", "tree", 0, 0, all},
        {"zip-python/tree-stored.zip", "tree", 0, 0, not_zeros},
        {"zip-python/jp-deflated.zip", "jp", 0, 0, all},
        {"zip-infozip/tree.zip", "tree", 0, 0, all},
        {"zip-infozip/jp-utf8.zip", "jp", OPT_UTF8, 0, all},
        {"zip-infozip/jp-cp932.zip", "jp", OPT_CODEPAGE_SET, 932, all},
        {"zip-7z/tree.zip", "tree", 0, 0, all},
        {"zip-7z/tree-stored.zip", "tree", 0, 0, stored_7z},
        {"zip-7z/jp.zip", "jp", 0, 0, all},
        {"zopfli/zopfli.zip", "tree", 0, 0, zopfli},
        // Data descriptors, ZIP64, self-extracting prefixes, other methods.
        {"zip-infozip/fd.zip", "tree", 0, 0, three},
        {"zip-infozip/fz.zip", "tree", 0, 0, three},
        {"zip-infozip/pipe.zip", "tree", 0, 0, three},
        {"zip-infozip/berlin.zip", "tree", 0, 0, two},
        {"zip-infozip/sfx.zip", "tree", 0, 0, two},
        {"zip-infozip/sfx-adjusted.zip", "tree", 0, 0, two},
        {"zip-python/streamed.zip", "tree", 0, 0, three},
        {"zip-python/zip64.zip", "tree", 0, 0, three},
        {"zip-python/streamed-zip64.zip", "tree", 0, 0, three},
        {"zip-7z/mx1.zip", "tree", 0, 0, levels},
        {"zip-7z/mx9.zip", "tree", 0, 0, levels},
        {"zip-7z/deflate64.zip", "tree", 0, 0, only({"alpha.txt", "run_aa.bin", "zeros.bin", "data/binary.bin"})},
        {"zip-7z/berlin.zip", "tree", 0, 0, two},
        {"zip-bsdtar/tree.zip", "tree", 0, 0, all},
        {"zip-bsdtar/tree-stored.zip", "tree", 0, 0, stored_7z},
        {"zip-bsdtar/berlin.zip", "tree", 0, 0, two},
        {"zip-jar/small.jar", "tree", 0, 0, three},
        // UTF-8 names without the UTF-8 flag.
        {"zip-infozip/jp-utf8.zip", "jp", 0, 0, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        std::vector<ManifestEntry> entries;
        for (const ManifestEntry& entry :
             read_manifest(source_path(std::string("tests/fixtures/payload/manifest-") + c.manifest + ".tsv"))) {
            if (c.holds(entry.path)) entries.push_back(entry);
        }
        const fs::path root = destination();
        const DecodeRun run = zip_decode({source_path(std::string("tests/fixtures/") + c.archive)},
                                         default_options(c.flags, c.code_page));
        EXPECT_EQ(run.errors, u"") << utf8_of(run.errors);
        expect_tree(root, entries);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].title, u"終了");
    }
}

// Names stored decomposed (kana and a combining voiced mark, as macOS
// writes them) are extracted composed; a member read from a pipe (named
// "-", with a 64-bit data descriptor) is extracted whole.
TEST_F(PeerArchives, DecomposedNamesAndPipedMember) {
    struct Case {
        const char* archive;
        std::set<std::string> files;
    };
    const std::vector<Case> cases = {
        {"zip-infozip/nfd.zip", {"ガイド.txt"}},
        {"zip-python/nfd.zip", {"ガイド.txt"}},
        {"zip-infozip/stdin-pipe.zip", {"-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        const fs::path root = destination();
        const DecodeRun run = zip_decode({source_path(std::string("tests/fixtures/") + c.archive)});
        EXPECT_EQ(run.errors, u"") << utf8_of(run.errors);
        EXPECT_EQ(extracted_paths(root), c.files);
        if (c.files.count("-") != 0) {
            EXPECT_EQ(crc32_of(read_file(root / "-")), 0x19e987dcu);  // alpha.txt
        }
    }
}

}  // namespace
