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
        entries.push_back({directory, std::stoull(row[1]), directory ? 0u : static_cast<std::uint32_t>(std::stoul(row[2], nullptr, 16)),
                           std::stoll(row[3]), row.back()});
    }
    EXPECT_FALSE(entries.empty()) << path;
    return entries;
}

std::set<std::string> extracted_paths(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        std::string name = utf8_of(wide_of(fs::relative(item.path(), root)));
        if (name.find("_report") != std::string::npos) continue;
        names.insert(item.is_directory() ? name + "/" : name);
    }
    return names;
}

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

// A walk that stopped at a data descriptor: one archive error, with one of
// the two texts, and no file that is not a true prefix of its source (a
// whole file may miss its CRC, since the header carried none).
void expect_clean_stop(const DecodeRun& run, const fs::path& root, const std::vector<ManifestEntry>& entries) {
    const std::string errors = utf8_of(run.error_text);
    EXPECT_TRUE(errors.find("\n  Outside of the support range.\n") != std::string::npos ||
                errors.find("\n  It finished on the way.\n") != std::string::npos)
        << errors;
    EXPECT_EQ(errors.find("エラー: "), errors.rfind("エラー: ")) << "one archive error: " << errors;
    std::size_t files = 0;
    for (const ManifestEntry& entry : entries) {
        const fs::path path = root / utf8_path(entry.path);
        if (entry.directory || !fs::exists(path)) continue;
        ++files;
        const ByteString content = read_file(path);
        EXPECT_LE(content.size(), entry.size) << entry.path;
        if (content.size() == entry.size) {
            EXPECT_EQ(crc32_of(content), entry.crc) << entry.path;
        }
    }
    EXPECT_GT(files, 0u);
    ASSERT_FALSE(run.boxes.empty());
    EXPECT_EQ(run.boxes.back().title, u"終了");
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
            const DecodeRun run =
                zip_decode({peer_data_path("archives/" + row[0])}, default_options(row[2] == "utf8" ? std::uint32_t{OPT_UTF8} : 0u));
            if (row[3] == "tree") {
                EXPECT_EQ(run.error_text, u"") << utf8_of(run.error_text);
                expect_tree(root, entries, peer_data_path("tree"));
            } else {
                expect_clean_stop(run, root, entries);
            }
        }
        EXPECT_GT(seen, 0);
    }

    ScratchDirectory scratch;
    int serial = 0;
};

TEST_F(PeerArchives, InfoZipLevels0To9) { peer_archives("zip"); }
TEST_F(PeerArchives, PythonStoredAndDeflated) { peer_archives("python"); }
TEST_F(PeerArchives, SevenZipLevels1To9) { peer_archives("7z"); }
TEST_F(PeerArchives, BsdtarDataDescriptorsStopCleanly) { peer_archives("bsdtar"); }

TEST_F(PeerArchives, CheckedInFixtures) {
    const auto all = [](const std::string&) { return true; };
    const auto not_zeros = [](const std::string& path) { return path != "zeros.bin"; };
    const auto stored_7z = [](const std::string& path) {
        return path == "alpha.txt" || path == "empty.txt" || path.rfind("docs/", 0) == 0;
    };
    const auto zopfli = [](const std::string& path) {
        return path == "alpha.txt" || path == "empty.txt" || path == "pattern7.bin" || path == "data/" ||
               path == "data/binary.bin";
    };
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
        EXPECT_EQ(run.error_text, u"") << utf8_of(run.error_text);
        expect_tree(root, entries);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].title, u"終了");
    }
    for (const char* archive : {"zip-bsdtar/tree.zip", "zip-bsdtar/tree-stored.zip"}) {
        SCOPED_TRACE(archive);
        const fs::path root = destination();
        const DecodeRun run = zip_decode({source_path(std::string("tests/fixtures/") + archive)});
        expect_clean_stop(run, root, read_manifest(source_path("tests/fixtures/payload/manifest-tree.tsv")));
    }
}

}  // namespace
