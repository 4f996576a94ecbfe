// Helpers of the ZIP tests: paths of the source tree and of the build's peer
// data (also under Wine), a scratch directory that is current while a test
// runs, a bit writer for hand-made Deflate streams, and a writer of whole
// archives from members given field by field.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "coding_set.h"
#include "date_record.h"
#include "dec_window.h"
#include "deflate_dec.h"
#include "export_run.h"
#include "job_setup.h"
#include "job_state.h"
#include "platform.h"
#include "scratch_directory.h"
#include "staged_file.h"
#include "text_types.h"
#include "tree_listing.h"
#include "tsv_rows.h"
#include "zip_entry.h"
#include "zip_head_enc.h"

namespace ziptest {

namespace fs = std::filesystem;

// A directory of the source tree or the build tree. The Windows test
// programs run under Wine, where the host's file system is drive Z:.
inline fs::path host_path(const char* unix_path) {
#if defined(_WIN32)
    return fs::path(std::string("Z:") + unix_path);
#else
    return fs::path(unix_path);
#endif
}
inline fs::path source_path(const std::string& relative) {
    return host_path(TSUCHI_SOURCE_DIR) / fs::path(std::u8string(relative.begin(), relative.end()));
}
// What make_peer_data.py wrote at build time.
inline fs::path peer_data_path(const std::string& relative) {
    return host_path(TSUCHI_BINARY_DIR) / "tests" / "zip-peer-data" /
           fs::path(std::u8string(relative.begin(), relative.end()));
}

inline fs::path path_of(const WideString& text) { return fs::path(std::u16string(text)); }
inline WideString wide_of(const fs::path& path) { return path.generic_u16string(); }
inline fs::path utf8_path(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

// Opens the file the decoders' output goes to as the extraction driver
// opens a member's: staged, put at path by commit() (an uncommitted one
// leaves nothing).
inline bool open_output(StagedFile& output, const fs::path& path) {
    OutputPlace place;
    return place.open_parent(wide_of(path)) == PlaceResult::ok && output.open(std::move(place));
}

inline ByteString read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteString(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void write_file(const fs::path& path, const ByteString& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The rows of a tab-separated file, "#" lines left out; empty when the
// file cannot be read.
inline std::vector<std::vector<std::string>> read_tsv(const fs::path& path) {
    return test_common::tsv_rows(read_file(path));
}

// One file or directory of the tree payload, as its manifest lists it.
struct PayloadEntry {
    std::uint64_t size;
    std::uint32_t crc;   // 0 for a directory
    std::int64_t mtime;  // seconds since 1970 UTC
};
// The tree payload's manifest by path (a directory's path ends in "/").
inline const std::map<std::string, PayloadEntry>& tree_manifest() {
    static const std::map<std::string, PayloadEntry> manifest = [] {
        std::map<std::string, PayloadEntry> rows;
        for (const auto& row : read_tsv(source_path("tests/fixtures/payload/manifest-tree.tsv"))) {
            rows[row[5]] = {std::stoull(row[1]),
                            row[2] == "-" ? 0u : static_cast<std::uint32_t>(std::stoul(row[2], nullptr, 16)),
                            std::stoll(row[3])};
        }
        return rows;
    }();
    return manifest;
}

inline std::uint32_t crc32_of(const ByteString& bytes) {
    coding::CrcTable32 crc;
    for (const char c : bytes) crc.update(static_cast<std::uint8_t>(c));
    return crc.value ^ 0xFFFFFFFFu;
}

// A fresh empty directory under the system's temporary directory, made the
// current directory; the previous one is current again afterwards.
class ScratchDirectory : public test_common::CurrentScratchDirectory {
public:
    ScratchDirectory() : CurrentScratchDirectory("zip") {}
};

// The job state a driver sees inside an export: set up from options (the
// defaults when none) in the current directory.
inline void fresh_job(ArchiveOptions* options = nullptr) {
    test_common::reset_job_state();
    job_state().extract_mode = true;
    setup_job(options);
}

// ---- hand-made Deflate streams ------------------------------------------

// Writes Deflate bits least significant first; Huffman codes go out from
// their first (top) bit, as the format sends them.
class DeflateWriter {
public:
    DeflateWriter() : out_(bytes_) {}

    DeflateWriter& bits(std::uint32_t value, int count) {
        out_.n_bit_put(value, count);
        return *this;
    }
    DeflateWriter& code(std::uint32_t code, int length) {
        out_.n_bit_put(coding::reverse_bits(code, length), length);
        return *this;
    }
    // Block header: BFINAL, then BTYPE.
    DeflateWriter& header(bool final, int type) {
        return bits(final ? 1 : 0, 1).bits(static_cast<std::uint32_t>(type), 2);
    }

    // Symbols of the fixed code.
    DeflateWriter& fixed_symbol(int symbol) {
        if (symbol < 144) return code(0x30 + static_cast<std::uint32_t>(symbol), 8);
        if (symbol < 256) return code(0x190 + static_cast<std::uint32_t>(symbol - 144), 9);
        if (symbol < 280) return code(static_cast<std::uint32_t>(symbol - 256), 7);
        return code(0xC0 + static_cast<std::uint32_t>(symbol - 280), 8);
    }
    DeflateWriter& fixed_literals(const ByteString& text) {
        for (const char c : text) fixed_symbol(static_cast<std::uint8_t>(c));
        return *this;
    }
    // A match in the fixed code, for lengths 3 to 10 and distances 1 to 4,
    // which need no extra bits.
    DeflateWriter& fixed_short_match(int length, int distance) {
        return fixed_symbol(254 + length).code(static_cast<std::uint32_t>(distance - 1), 5);
    }
    // A whole stored block: header, then the bytes from the next boundary.
    DeflateWriter& stored_block(bool final, const ByteString& data) {
        header(final, 0);
        out_.flush();  // pads to the byte boundary
        const std::uint32_t length = static_cast<std::uint32_t>(data.size());
        for (const std::uint32_t value : {length & 0xFF, length >> 8, ~length & 0xFF, (~length >> 8) & 0xFF}) {
            bytes_.push_back(static_cast<std::uint8_t>(value));
        }
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }

    ByteString finish() {
        out_.flush();
        return ByteString(bytes_.begin(), bytes_.end());
    }

private:
    std::vector<std::uint8_t> bytes_;
    coding::ZipCoding::BitOutStream out_;
};

// One final fixed block holding data as literals: the simplest sound
// Deflate data for any content.
inline ByteString deflate_literals(const ByteString& data) {
    return DeflateWriter().header(true, 1).fixed_literals(data).fixed_symbol(256).finish();
}

// What decoding one raw stream gave: the bytes written, the thrown text
// (empty when none), and the byte that followed the stream in the input
// (NEXT_BYTE is put after the stream unless the input is to end with it;
// reading it back shows that the decoder took exactly the stream).
struct Inflated {
    ByteString output;
    std::string error;
    int next_byte = -2;
};
constexpr int NEXT_BYTE = 0xA5;

// How the symbols of a DeflateDec become an entry's bytes: DecWindow's
// copy loop unless a test gives another.
using EntryLoop = void (*)(DeflateDec& decoder, ZipFileDecOutStream& out);

// Decodes stream as the data of an entry of the given uncompressed size
// through DeflateDec (of the given variant) and DecWindow, as the
// extraction driver does, with files in directory.
inline Inflated inflate_entry(const ByteString& stream, std::int64_t size, const fs::path& directory,
                              bool next_byte = true, DeflateVariant variant = DeflateVariant::DEFLATE,
                              EntryLoop loop = nullptr) {
    const fs::path input_path = directory / "stream.bin";
    const fs::path output_path = directory / "output.bin";
    write_file(input_path, next_byte ? stream + static_cast<char>(NEXT_BYTE) : stream);
    Inflated result;
    std::FILE* input_file = platform::open_file(wide_of(input_path), "rb");
    EXPECT_NE(input_file, nullptr);
    {
        ZipBitInStream input(input_file);
        StagedFile output;
        EXPECT_TRUE(open_output(output, output_path));
        try {
            DeflateDec decoder(input, variant);
            ZipFileDecOutStream out(output.file(), size);
            if (loop != nullptr) {
                loop(decoder, out);
            } else {
                DecWindow().decode_entry(decoder, out);
            }
            result.next_byte = input.byte_get();
        } catch (const char* message) {
            result.error = message;
        }
        // What was decoded before an error is kept too, for the tests that
        // look at it.
        EXPECT_TRUE(output.commit());
    }
    std::fclose(input_file);
    result.output = read_file(output_path);
    return result;
}

// ---- whole archives -------------------------------------------------------

struct Member {
    Member(ByteString member_name, ByteString member_content, std::int32_t member_method = ZIP_METHOD_DEFLATE)
        : name(std::move(member_name)), content(std::move(member_content)), method(member_method) {}

    ByteString name;
    ByteString content;  // the uncompressed bytes
    std::int32_t method = ZIP_METHOD_DEFLATE;
    std::uint32_t flags = 0;
    DateRecord time{2021, 7, 15, 12, 34, 56};
    // What is stored after the header; by default content as literals
    // (Deflate) or as it is (stored).
    std::optional<ByteString> data;
    // Header fields that differ from what content and data give.
    std::optional<std::uint32_t> crc;
    std::optional<std::uint32_t> compressed_size;
    std::optional<std::uint32_t> uncompressed_size;
};

inline Member directory_member(const ByteString& name) { return Member(name, "", ZIP_METHOD_STORED); }

// Local headers and data of every member; then, unless central is false,
// the central directory and the end record.
inline ByteString zip_of(const std::vector<Member>& members, bool central = true) {
    ByteString archive;
    ByteString directory;
    for (const Member& member : members) {
        const ByteString data = member.data                           ? *member.data
                                : member.method == ZIP_METHOD_DEFLATE ? deflate_literals(member.content)
                                                                      : member.content;
        ZipEntry entry;
        entry.method = member.method;
        entry.version_needed = 20;
        entry.flags = member.flags;
        // A field of 0xFFFFFFFF would bring a ZIP64 block with it.
        entry.compressed_size = member.compressed_size.value_or(static_cast<std::uint32_t>(data.size()));
        entry.uncompressed_size = member.uncompressed_size.value_or(static_cast<std::uint32_t>(member.content.size()));
        entry.time = member.time;
        entry.crc = member.crc.value_or(crc32_of(member.content));
        entry.stored_name = member.name;  // as given: no name conversion
        const auto offset = static_cast<std::uint32_t>(archive.size());
        local_header_put(entry, archive);
        archive += data;
        entry.signature = ZIP_CENTRAL_SIGNATURE;
        central_header_put(entry, offset, directory);
    }
    if (central) {
        const auto offset = static_cast<std::uint32_t>(archive.size());
        archive += directory;
        end_record_put(static_cast<std::uint32_t>(members.size()), static_cast<std::uint32_t>(directory.size()), offset,
                       archive);
    }
    return archive;
}

}  // namespace ziptest
