// Helpers of the LZH creation tests: source trees written to disk and read
// back (names, bytes, times), and a plain walk over the level-2 archives
// the creation driver writes, independent of the library's reader.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "lzh_test_support.h"

namespace lzhenc_test {

using namespace lzh_test;

// ---- source trees ------------------------------------------------------------

// One path of a tree, relative, with "/" separators; a directory ends in
// "/". Times are seconds since 1970; 0 leaves the file system's.
struct Node {
    std::string path;
    std::string data = {};
    std::int64_t mtime = 0;
};
using Tree = std::vector<Node>;

inline bool is_dir(const std::string& path) { return !path.empty() && path.back() == '/'; }

inline fs::path at(const fs::path& root, const std::string& relative) {
    return root / fs::path(wide_from_utf8(relative));
}

inline void write_tree(const fs::path& root, const Tree& tree) {
    for (const Node& n : tree) {
        const fs::path p = at(root, n.path);
        if (is_dir(n.path)) {
            fs::create_directories(p);
            continue;
        }
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << n.data;
        if (n.mtime != 0) {
            EXPECT_TRUE(platform::set_file_time(Scratch::wide(p), n.mtime)) << n.path;
        }
    }
}

// A path below a root as text: UTF-8 where the file system names are wide,
// the bytes of the name where they are bytes (a peer may write names that
// are no UTF-8).
inline std::string relative_text(const fs::path& path, const fs::path& root) {
#if defined(_WIN32)
    return utf8(fs::relative(path, root).generic_u16string());
#else
    return fs::relative(path, root).generic_string();
#endif
}

// Every path below root, as write_tree takes them: files with their bytes
// and times, directories with a trailing "/"; sorted by path.
inline std::map<std::string, Node> read_tree(const fs::path& root) {
    std::map<std::string, Node> tree;
    if (!fs::exists(root)) return tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        Node n{relative_text(item.path(), root)};
        if (item.is_directory()) {
            n.path += "/";
        } else {
            n.data = read_binary(item.path());
            platform::FileStatus status;
            try {
                if (platform::file_status(Scratch::wide(item.path()), status) == platform::StatResult::ok) {
                    n.mtime = status.modification_time;
                }
            } catch (const fs::filesystem_error&) {
                // A name that is no UTF-8 has no wide form: no time.
            }
        }
        tree[n.path] = n;
    }
    return tree;
}

// Compares an extracted tree with its source below prefix: the same paths,
// the same bytes and, for files that were given one, the same time.
inline void expect_same_tree(const Tree& source, const std::map<std::string, Node>& found, const std::string& prefix,
                             const std::string& who) {
    std::map<std::string, Node> expected;
    for (const Node& n : source) {
        expected[prefix + n.path] = n;
        // Parents of every path are made on the way.
        for (std::size_t cut = n.path.find('/'); cut != std::string::npos && cut + 1 < n.path.size();
             cut = n.path.find('/', cut + 1)) {
            expected.try_emplace(prefix + n.path.substr(0, cut + 1), Node{prefix + n.path.substr(0, cut + 1)});
        }
    }
    for (std::size_t cut = prefix.find('/'); cut != std::string::npos; cut = prefix.find('/', cut + 1)) {
        expected.try_emplace(prefix.substr(0, cut + 1), Node{prefix.substr(0, cut + 1)});
    }
    std::vector<std::string> want, got;
    for (const auto& [path, node] : expected) want.push_back(path);
    for (const auto& [path, node] : found) got.push_back(path);
    EXPECT_EQ(got, want) << who;
    for (const auto& [path, node] : expected) {
        const auto it = found.find(path);
        if (it == found.end() || is_dir(path)) continue;
        EXPECT_TRUE(it->second.data == node.data) << who << ": " << path;
        if (node.mtime != 0) {
            EXPECT_EQ(it->second.mtime, node.mtime) << who << ": " << path;
        }
    }
}

// Text that shrinks: words from a small vocabulary, deterministic.
inline std::string text_of(std::size_t size, unsigned seed = 1) {
    static const char* const words[] = {"archive ", "header ", "member ", "data ",  "the ",
                                        "of ",      "block\n", "code ",   "table ", "length "};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) text += words[random() % 10];
    text.resize(size);
    return text;
}

// Bytes that do not shrink.
inline std::string random_bytes(std::size_t size, unsigned seed = 2) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// ---- the archive, walked --------------------------------------------------------

struct Entry {
    std::size_t header_length = 0;
    std::string method;
    std::uint32_t compressed = 0, original = 0, time = 0;
    std::uint16_t crc = 0;
    std::vector<Record> records;
    std::string data;

    const Record* record(int type) const {
        for (const Record& r : records) {
            if (r.type == type) return &r;
        }
        return nullptr;
    }
    // The narrow directory and name as stored, joined, with the 0xFF
    // separators of a directory record as "/".
    std::string stored_path() const {
        const Record* d = record(0x02);
        const Record* n = record(0x01);
        std::string path = (d ? d->data : "") + (n ? n->data : "");
        for (char& c : path) {
            if (c == '\xFF') c = '/';
        }
        return path;
    }
};

inline std::uint32_t le_at(const std::string& b, std::size_t offset, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[offset + static_cast<std::size_t>(i)]);
    return v;
}

// The entries of an archive of level-2 headers. ended is set when the
// walk found the end mark as the archive's last byte.
struct Walk {
    std::vector<Entry> entries;
    bool ended = false;
};

inline Walk walk_archive(const std::string& archive) {
    Walk walk;
    std::size_t p = 0;
    while (p + 26 <= archive.size() && archive[p] != '\0') {
        Entry e;
        e.header_length = le_at(archive, p, 2);
        e.method = archive.substr(p + 2, 5);
        e.compressed = le_at(archive, p + 7, 4);
        e.original = le_at(archive, p + 11, 4);
        e.time = le_at(archive, p + 15, 4);
        e.crc = static_cast<std::uint16_t>(le_at(archive, p + 21, 2));
        for (std::size_t q = p + 24, size; q + 2 <= p + e.header_length && (size = le_at(archive, q, 2)) != 0;
             q += size) {
            e.records.push_back({static_cast<unsigned char>(archive[q + 2]), archive.substr(q + 3, size - 3)});
        }
        p += e.header_length;
        const std::size_t data = e.method == "-lhd-" ? 0 : e.compressed;
        e.data = archive.substr(p, data);
        p += data;
        walk.entries.push_back(e);
    }
    walk.ended = p + 1 == archive.size() && archive[p] == '\0';
    return walk;
}

}  // namespace lzhenc_test
