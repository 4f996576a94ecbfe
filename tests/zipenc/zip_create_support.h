// Helpers of the ZIP creation tests: the export ZIPEncode run in process
// with scripted boxes, source trees written from a table and read back for
// comparison, and a reader that takes an archive apart record by record so
// that every header field can be checked.
#pragma once

#include <map>

#include "../zip/zip_decode_run.h"

namespace ziptest {

// ---- source trees -------------------------------------------------------

// A tree as "/"-separated UTF-8 paths: a path ending in "/" is a directory,
// anything else a file with its bytes.
using Tree = std::map<std::string, ByteString>;

inline void write_tree(const fs::path& root, const Tree& tree) {
    for (const auto& [name, bytes] : tree) {
        const fs::path path = root / utf8_path(name);
        if (name.back() == '/') {
            fs::create_directories(path);
        } else {
            fs::create_directories(path.parent_path());
            write_file(path, bytes);
        }
    }
}

// Every path below root in the form of a Tree; directories are listed only
// when empty, as an archive of the tree holds them.
inline Tree read_tree(const fs::path& root) {
    Tree tree;
    if (!fs::exists(root)) return tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        // Bytes as they are on POSIX: a peer may write names that are not
        // UTF-8, which must show as a difference and not throw.
        const std::u8string bytes = fs::relative(item.path(), root).generic_u8string();
        const std::string name(bytes.begin(), bytes.end());
        if (!item.is_directory()) {
            tree[name] = read_file(item.path());
        } else if (fs::is_empty(item.path())) {
            tree[name + "/"] = "";
        }
    }
    return tree;
}

// What differs between two trees, one line per path ("" when nothing):
// a listing that stays short when a large file differs.
inline std::string tree_difference(const Tree& got, const Tree& want) {
    std::string lines;
    for (const auto& [name, bytes] : want) {
        const auto found = got.find(name);
        if (found == got.end()) {
            lines += "missing: " + name + "\n";
        } else if (found->second != bytes) {
            lines += "differs: " + name + "\n";
        }
    }
    for (const auto& item : got) {
        if (want.count(item.first) == 0) lines += "extra: " + item.first + "\n";
    }
    return lines;
}

// ---- the export ------------------------------------------------------------

using EncodeRun = test_common::ExportRun;

// ZIPEncode as the launcher calls it: a fresh job state, absolute paths,
// the archive path (empty for none), the boxes answered from the script.
inline EncodeRun zip_encode(const std::vector<fs::path>& sources, const fs::path& archive,
                            ArchiveOptions options = default_options(OPT_UTF8),
                            std::vector<platform::BoxAnswer> answers = {}) {
    test_common::reset_job_state();
    std::vector<WideString> paths;
    for (const fs::path& source : sources) paths.push_back(wide_of(fs::absolute(source)));
    const WideString archive_text = archive.empty() ? WideString() : wide_of(fs::absolute(archive));
    return test_common::run_encode(ZIPEncode, paths, archive.empty() ? nullptr : archive_text.c_str(), options,
                                   std::move(answers));
}

// ---- archives taken apart ------------------------------------------------

inline std::uint32_t field(const ByteString& bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | static_cast<std::uint8_t>(at + i < bytes.size() ? bytes[at + i] : 0);
    }
    return value;
}

// One entry as its local header (at offset `at`, data after it) and its
// central record give it.
struct Record {
    std::size_t at = 0;
    std::uint32_t version = 0, flags = 0, method = 0, crc = 0, compressed = 0, uncompressed = 0;
    ByteString name;
    ByteString data;
    // From the central record: its copy of the fields above must agree.
    std::uint32_t central_version_made = 0, external = 0, local_offset = 0;
    ByteString central_fields;  // central +6 to +32 as bytes
    ByteString local_fields;    // local +4 to +30 as bytes
};

struct Layout {
    std::vector<Record> records;
    std::size_t central_records = 0;
    std::uint32_t end_count = 0, end_total = 0, directory_size = 0, directory_offset = 0;
    bool whole = false;  // every byte accounted for, ending with the end record
};

// Walks local headers and data, then central records, then the end record.
inline Layout layout_of(const ByteString& bytes) {
    Layout layout;
    std::size_t at = 0;
    while (at + 30 <= bytes.size() && field(bytes, at, 4) == ZIP_LOCAL_SIGNATURE) {
        Record record;
        record.at = at;
        record.version = field(bytes, at + 4, 2);
        record.flags = field(bytes, at + 6, 2);
        record.method = field(bytes, at + 8, 2);
        record.crc = field(bytes, at + 14, 4);
        record.compressed = field(bytes, at + 18, 4);
        record.uncompressed = field(bytes, at + 22, 4);
        record.local_fields = bytes.substr(at + 4, 26);
        const std::size_t name_length = field(bytes, at + 26, 2), extra_length = field(bytes, at + 28, 2);
        record.name = bytes.substr(at + 30, name_length);
        at += 30 + name_length + extra_length;
        record.data = bytes.substr(std::min(at, bytes.size()), record.compressed);
        at += record.compressed;
        layout.records.push_back(record);
    }
    const std::size_t directory_start = at;
    while (at + 46 <= bytes.size() && field(bytes, at, 4) == ZIP_CENTRAL_SIGNATURE) {
        if (layout.central_records < layout.records.size()) {
            Record& record = layout.records[layout.central_records];
            record.central_version_made = field(bytes, at + 4, 2);
            record.central_fields = bytes.substr(at + 6, 26);
            record.external = field(bytes, at + 38, 4);
            record.local_offset = field(bytes, at + 42, 4);
        }
        ++layout.central_records;
        at += 46 + field(bytes, at + 28, 2) + field(bytes, at + 30, 2) + field(bytes, at + 32, 2);
    }
    if (at + 22 == bytes.size() && field(bytes, at, 4) == ZIP_END_SIGNATURE) {
        layout.end_count = field(bytes, at + 8, 2);
        layout.end_total = field(bytes, at + 10, 2);
        layout.directory_size = field(bytes, at + 12, 4);
        layout.directory_offset = field(bytes, at + 16, 4);
        layout.whole = layout.directory_offset == directory_start && layout.directory_size == at - directory_start;
    }
    return layout;
}

// The checks every archive we write must pass: whole, one central record
// per entry repeating its local fields and pointing at it, the end record
// counting them, and every entry's data matching its sizes and CRC.
inline void expect_sound(const Layout& layout) {
    EXPECT_TRUE(layout.whole);
    EXPECT_EQ(layout.central_records, layout.records.size());
    EXPECT_EQ(layout.end_count, layout.records.size());
    EXPECT_EQ(layout.end_total, layout.records.size());
    for (const Record& record : layout.records) {
        EXPECT_EQ(record.central_fields, record.local_fields) << record.name;
        EXPECT_EQ(record.local_offset, record.at) << record.name;
        // Made by 2.0 on Unix, with a Unix mode and the MS-DOS bits.
        const bool directory = !record.name.empty() && record.name.back() == '/';
        EXPECT_EQ(record.central_version_made, 3u << 8 | 20);
        EXPECT_EQ(record.external, directory ? 040755u << 16 | 0x10 : 0100644u << 16) << record.name;
        if (record.method == ZIP_METHOD_STORED) {
            EXPECT_EQ(record.compressed, record.uncompressed) << record.name;
            EXPECT_EQ(crc32_of(record.data), record.crc) << record.name;
        } else {
            EXPECT_EQ(record.method, static_cast<std::uint32_t>(ZIP_METHOD_DEFLATE)) << record.name;
            EXPECT_LT(record.compressed, record.uncompressed) << record.name;
        }
    }
}

}  // namespace ziptest
