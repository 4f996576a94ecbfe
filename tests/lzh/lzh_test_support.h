// Helpers of the LZH tests: headers of every level built field by field,
// archives written with the library's own level-2 writer, hand-built -lh5-
// blocks, scratch directories, a fixed time zone, the checked-in fixtures
// and their manifests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "archive_options.h"
#include "export_run.h"
#include "job_setup.h"
#include "job_state.h"
#include "lh5_dec.h"
#include "lzh_coding.h"
#include "lzh_create.h"
#include "lzh_entry.h"
#include "lzh_extract.h"
#include "lzh_head_dec.h"
#include "lzh_head_enc.h"
#include "member_path.h"
#include "platform.h"
#include "scratch_directory.h"
#include "text_convert.h"
#include "tree_listing.h"
#include "tsv_rows.h"

namespace lzh_test {

namespace fs = std::filesystem;

// ---- bytes and numbers ------------------------------------------------------

inline ByteString bytes_of(std::initializer_list<int> values) {
    ByteString b;
    for (int v : values) b.push_back(static_cast<char>(v));
    return b;
}

inline ByteString le(std::uint32_t value, int n) {
    ByteString b;
    for (int i = 0; i < n; ++i) b.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return b;
}

inline std::uint16_t crc16(const std::string& data) {
    coding::CrcTable16 crc;
    for (const char c : data) crc.update(static_cast<std::uint8_t>(c));
    return crc.value;
}

inline std::uint32_t crc32(const std::string& data) {
    coding::CrcTable32 crc;
    for (const char c : data) crc.update(static_cast<std::uint8_t>(c));
    return ~crc.value;
}

inline std::uint32_t dos_stamp(int year, int month, int day, int hour, int minute, int second) {
    return static_cast<std::uint32_t>((year - 1980) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5 |
                                      second / 2);
}

inline std::string utf8(const WideString& text) { return utf8_from_wide(text); }

// ---- headers built field by field ---------------------------------------------

struct Record {
    int type;
    ByteString data;
};

// The chain of extended records after a first size field: each record's
// size, then type and data; the last size is 0. Size fields are width bytes
// (4 at level 3).
inline ByteString record_chain(const std::vector<Record>& records, int width = 2) {
    ByteString chain;
    for (const Record& r : records) {
        chain += le(static_cast<std::uint32_t>(r.data.size() + 1 + width), width);
        chain.push_back(static_cast<char>(r.type));
        chain += r.data;
    }
    return chain + le(0, width);
}

inline ByteString with_checksum(ByteString header) {
    unsigned sum = 0;
    for (std::size_t i = 2; i < header.size(); ++i) sum += static_cast<unsigned char>(header[i]);
    header[1] = static_cast<char>(sum & 0xFF);
    return header;
}

// A level-0 header: length, checksum, method, sizes, MS-DOS stamp,
// attribute 0x20, level 0, name and the data CRC.
inline ByteString level0_header(const std::string& method, std::uint32_t compressed, std::uint32_t original,
                                std::uint32_t stamp, const ByteString& name, std::uint16_t crc) {
    ByteString h = bytes_of({0, 0}) + method + le(compressed, 4) + le(original, 4) + le(stamp, 4) +
                   bytes_of({0x20, 0}) + le(static_cast<std::uint32_t>(name.size()), 1) + name + le(crc, 2);
    h[0] = static_cast<char>(h.size() - 2);
    return with_checksum(h);
}

// A level-1 header with its extended records. data_size is the size of the
// data alone: the compressed-size field also counts the records.
inline ByteString level1_header(const std::string& method, std::uint32_t data_size, std::uint32_t original,
                                std::uint32_t stamp, const ByteString& name, std::uint16_t crc,
                                const std::vector<Record>& records = {}) {
    const ByteString chain = record_chain(records);
    const auto extended = static_cast<std::uint32_t>(chain.size() - 2);
    ByteString h = bytes_of({0, 0}) + method + le(data_size + extended, 4) + le(original, 4) + le(stamp, 4) +
                   bytes_of({0x20, 1}) + le(static_cast<std::uint32_t>(name.size()), 1) + name + le(crc, 2) + "M";
    // The base header ends with the first size field; the rest of the chain
    // follows it.
    h += chain.substr(0, 2);
    h[0] = static_cast<char>(h.size() - 2);
    return with_checksum(h) + chain.substr(2);
}

// A level-2 header with the given records, as any writer might lay it out
// (the library's own writer is LZHHeadEnc).
inline ByteString level2_header(const std::string& method, std::uint32_t compressed, std::uint32_t original,
                                std::uint32_t unix_time, std::uint16_t crc, const std::vector<Record>& records) {
    ByteString h = le(0, 2) + method + le(compressed, 4) + le(original, 4) + le(unix_time, 4) + bytes_of({0x20, 2}) +
                   le(crc, 2) + "M" + record_chain(records);
    const ByteString length = le(static_cast<std::uint32_t>(h.size()), 2);
    h[0] = length[0];
    h[1] = length[1];
    return h;
}

// A level-3 header: word size 4, the level-2 fields, the 4-byte header
// length, then records with 4-byte size fields.
inline ByteString level3_header(const std::string& method, std::uint32_t compressed, std::uint32_t original,
                                std::uint32_t unix_time, std::uint16_t crc, const std::vector<Record>& records) {
    const ByteString chain = record_chain(records, 4);
    const auto length = static_cast<std::uint32_t>(28 + chain.size());
    return le(4, 2) + method + le(compressed, 4) + le(original, 4) + le(unix_time, 4) + bytes_of({0x20, 3}) +
           le(crc, 2) + "2" + le(length, 4) + chain;
}

// ---- archives from the library's own writer -------------------------------------

struct Member {
    WideString name = {};       // after the last "/"
    WideString directory = {};  // "" or "dir/sub/"
    std::string data = {};      // original bytes
    std::string method = "-lh0-";
    std::optional<std::string> stored = std::nullopt;  // the data as stored; default: data
    std::optional<std::uint16_t> crc = std::nullopt;   // default: the CRC-16 of data
    int year = 2021, month = 7, day = 15, hour = 12, minute = 34, second = 56;
};

// Header and data of one member, through LZHEntry and LZHHeadEnc with the
// job's current options. Members of one directory share their node through
// nodes.
inline ByteString member_bytes(const Member& m, std::vector<std::shared_ptr<lzh::DirectoryNode>>* nodes = nullptr) {
    lzh::LZHEntry entry;
    entry.method = m.method;
    const std::string stored = m.stored.value_or(m.data);
    entry.compressed_size = static_cast<std::int64_t>(stored.size());
    entry.original_size = static_cast<std::int64_t>(m.data.size());
    entry.time = {m.year, m.month, m.day, m.hour, m.minute, m.second};
    entry.data_crc = m.crc.value_or(crc16(m.data));
    entry.name = m.name;
    entry.directory = m.directory;
    if (!m.directory.empty()) {
        if (nodes != nullptr) {
            for (const auto& node : *nodes) {
                if (node->path == m.directory) entry.parent = node;
            }
        }
        if (!entry.parent) {
            entry.parent = std::make_shared<lzh::DirectoryNode>(m.directory);
            if (nodes != nullptr) nodes->push_back(entry.parent);
        }
    }
    const lzh::LZHHeadEnc header(entry, lzh::header_options_of_job());
    return ByteString(header.bytes.begin(), header.bytes.end()) + stored;
}

// The members and the end mark.
inline ByteString archive_of(const std::vector<Member>& members) {
    std::vector<std::shared_ptr<lzh::DirectoryNode>> nodes;
    ByteString archive;
    for (const Member& m : members) archive += member_bytes(m, &nodes);
    return archive + bytes_of({0});
}

// ---- hand-built -lh5- blocks --------------------------------------------------------

// A literal (0-255) or a match (symbol 256-509 and its position value,
// the distance - 1).
struct Token {
    Token(int symbol, int value = 0) : symbol(symbol), value(value) {}
    int symbol;
    int value;
};

// A code description: explicit lengths, or the one-symbol form. Left
// empty, the writer builds a Huffman code from the block's symbols.
struct Code {
    std::vector<int> lengths = {};
    int single = -1;
};

struct Block {
    Block(std::vector<Token> tokens, std::optional<int> count = std::nullopt)
        : tokens(std::move(tokens)), count(count) {}
    std::vector<Token> tokens;
    std::optional<int> count;  // the block's symbol count; default: the tokens
    Code literal;
    Code position;
};

// The position symbol of a value: its number of significant bits.
inline int position_symbol(int value) {
    int j = 0;
    while ((value >> j) != 0) ++j;
    return j;
}

// Blocks of -lh5-, or of -lh4-, -lh6-, -lh7- with their params.
class Lh5Writer {
public:
    using BitOut = lzh::BitOutStream;

    explicit Lh5Writer(const lzh::LH5Params& params = lzh::LH5_PARAMS) : params_(params) {}

    void block(const Block& b) {
        std::vector<std::int32_t> literal_freq(510, 0);
        std::vector<std::int32_t> position_freq(static_cast<std::size_t>(params_.position_symbols), 0);
        for (const Token& t : b.tokens) {
            ++literal_freq[static_cast<std::size_t>(t.symbol)];
            if (t.symbol >= 256) ++position_freq[static_cast<std::size_t>(position_symbol(t.value))];
        }
        const Code literal = resolved(b.literal, literal_freq);
        const Code position = resolved(b.position, position_freq);

        out_.n_bit_put(static_cast<std::uint32_t>(b.count.value_or(static_cast<int>(b.tokens.size()))), 16);
        literal_description(literal);
        position_description(position);
        for (const Token& t : b.tokens) {
            put_symbol(literal, t.symbol);
            if (t.symbol < 256) continue;
            const int j = position_symbol(t.value);
            put_symbol(position, j);
            if (j > 1) out_.n_bit_put(static_cast<std::uint32_t>(t.value - (1 << (j - 1))), j - 1);
        }
    }

    BitOut& bits() { return out_; }

    std::string data() {
        out_.flush();
        return std::string(sink_.begin(), sink_.end());
    }

private:
    static Code resolved(const Code& given, const std::vector<std::int32_t>& freq) {
        if (given.single >= 0 || !given.lengths.empty()) return given;
        int used = 0;
        int last = 0;
        for (std::size_t s = 0; s < freq.size(); ++s) {
            if (freq[s] > 0) {
                ++used;
                last = static_cast<int>(s);
            }
        }
        Code code;
        if (used == 0) {
            code.single = 0;
        } else if (used == 1) {
            code.single = last;
        } else {
            const coding::BLenTable table = coding::build_code_lengths(freq, 16, coding::SingleCode::ONE_BIT);
            code.lengths.assign(table.lengths.begin(), table.lengths.end());
        }
        return code;
    }

    static std::vector<int> trimmed(std::vector<int> lengths) {
        while (!lengths.empty() && lengths.back() == 0) lengths.pop_back();
        return lengths;
    }

    void put_symbol(const Code& code, int symbol) {
        if (code.single >= 0) return;  // a one-symbol code costs no bits
        if (&code != cached_code_ || code.lengths != cached_lengths_) {
            const coding::BLenTable table(code.lengths);
            cached_patterns_ = coding::BitPatternTable<coding::BitOrder::MSB_FIRST>(table).patterns;
            cached_code_ = &code;
            cached_lengths_ = code.lengths;
        }
        const auto s = static_cast<std::size_t>(symbol);
        out_.n_bit_put(static_cast<std::uint32_t>(cached_patterns_[s]), code.lengths[s]);
    }
    const Code* cached_code_ = nullptr;
    std::vector<int> cached_lengths_;
    std::vector<std::int32_t> cached_patterns_;

    // 3 bits, or for 7 and more 3 one bits, length - 7 more and a 0.
    void blen_put(int length) {
        if (length < 7) {
            out_.n_bit_put(static_cast<std::uint32_t>(length), 3);
        } else {
            out_.n_bit_put(0xFFFEu & ((1u << (length - 3)) - 1), length - 3);
        }
    }

    void literal_description(const Code& literal) {
        if (literal.single >= 0) {
            out_.n_bit_put(0, 5);  // code-length code: one symbol, which is never used
            out_.n_bit_put(0, 5);
            out_.n_bit_put(0, 9);
            out_.n_bit_put(static_cast<std::uint32_t>(literal.single), 9);
            return;
        }
        const std::vector<int> lengths = trimmed(literal.lengths);
        // The code-length symbols of the lengths: runs of zeros and k + 2.
        std::vector<Token> symbols;  // symbol, extra bits value
        for (std::size_t i = 0; i < lengths.size();) {
            if (lengths[i] != 0) {
                symbols.push_back({lengths[i] + 2, 0});
                ++i;
                continue;
            }
            std::size_t run = 0;
            while (i + run < lengths.size() && lengths[i + run] == 0) ++run;
            i += run;
            if (run <= 2) {
                for (std::size_t k = 0; k < run; ++k) symbols.push_back({0, 0});
            } else if (run <= 18) {
                symbols.push_back({1, static_cast<int>(run - 3)});
            } else if (run == 19) {
                symbols.push_back({0, 0});
                symbols.push_back({1, 15});
            } else {
                symbols.push_back({2, static_cast<int>(run - 20)});
            }
        }
        std::vector<std::int32_t> freq(19, 0);
        for (const Token& t : symbols) ++freq[static_cast<std::size_t>(t.symbol)];
        const Code code_lengths = resolved(Code{}, freq);
        if (code_lengths.single >= 0) {
            out_.n_bit_put(0, 5);
            out_.n_bit_put(static_cast<std::uint32_t>(code_lengths.single), 5);
        } else {
            const std::vector<int> cl = trimmed(code_lengths.lengths);
            out_.n_bit_put(static_cast<std::uint32_t>(cl.size()), 5);
            for (std::size_t j = 0; j < cl.size(); ++j) {
                blen_put(cl[j]);
                if (j == 2) {
                    std::size_t zeros = 0;
                    while (zeros < 3 && j + 1 + zeros < cl.size() && cl[j + 1 + zeros] == 0) ++zeros;
                    out_.n_bit_put(static_cast<std::uint32_t>(zeros), 2);
                    j += zeros;
                }
            }
        }
        out_.n_bit_put(static_cast<std::uint32_t>(lengths.size()), 9);
        for (const Token& t : symbols) {
            put_symbol(code_lengths, t.symbol);
            if (t.symbol == 1) out_.n_bit_put(static_cast<std::uint32_t>(t.value), 4);
            if (t.symbol == 2) out_.n_bit_put(static_cast<std::uint32_t>(t.value), 9);
        }
    }

    void position_description(const Code& position) {
        const int width = params_.position_count_bits;
        if (position.single >= 0) {
            out_.n_bit_put(0, width);
            out_.n_bit_put(static_cast<std::uint32_t>(position.single), width);
            return;
        }
        const std::vector<int> lengths = trimmed(position.lengths);
        out_.n_bit_put(static_cast<std::uint32_t>(lengths.size()), width);
        for (const int length : lengths) blen_put(length);
    }

    lzh::LH5Params params_;
    std::vector<std::uint8_t> sink_;
    BitOut out_{sink_};
};

inline std::string lh5_data(const std::vector<Block>& blocks, const lzh::LH5Params& params = lzh::LH5_PARAMS) {
    Lh5Writer writer(params);
    for (const Block& b : blocks) writer.block(b);
    return writer.data();
}

// The literals of a text, as tokens.
inline std::vector<Token> literals(const std::string& text) {
    std::vector<Token> tokens;
    for (const char c : text) tokens.push_back({static_cast<unsigned char>(c)});
    return tokens;
}

// ---- the job and the file system -------------------------------------------------

// A header read as the member source reads it, with its names decoded as
// the extraction driver decodes them.
struct ReadHead : lzh::LZHHeadDec {
    explicit ReadHead(lzh::BitInStream& input) {
        read(input);
        const MemberPath path = decode_member_path(lzh::name_parts(*this), true);
        name = path.name;
        directory = path.directory;
    }
    WideString name;
    WideString directory;
};

using test_common::reset_job_state;

// The fixture of the tests that run jobs of the LZH library: a fresh job
// state, the ANSI code page 1252 and default options in each test.
class LzhJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_job_state();
        platform::set_ansi_code_page_override(1252);
        init_archive_options(options);
    }
    void TearDown() override {
        reset_job_state();
        platform::set_ansi_code_page_override(0);
    }

    ArchiveOptions options;
};

// The time zone for the C library's local-time conversions, set for the
// lifetime of the object. POSIX rules, which both C libraries read.
class TimeZone {
public:
    explicit TimeZone(const char* rule) {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_) previous_ = old;
        set(rule);
    }
    ~TimeZone() {
        if (had_) {
            set(previous_.c_str());
        } else {
            set("UTC0");
        }
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    static void set(const char* rule) {
#if defined(_WIN32)
        _putenv_s("TZ", rule);
        _tzset();
#else
        setenv("TZ", rule, 1);
        tzset();
#endif
    }
    bool had_ = false;
    std::string previous_;
};

// A fresh directory under the system's temporary directory with the
// subdirectories dest (the current directory while the object lives, where
// archives are extracted) and in (where the archives lie).
class Scratch : public test_common::CurrentScratchDirectory {
public:
    explicit Scratch(const char* tag = "lzh") : CurrentScratchDirectory(tag, "dest") {
        fs::create_directory(root() / "in");
    }

    static WideString wide(const fs::path& p) { return p.generic_u16string(); }

    // Empties the destination (and stays in it).
    void fresh_dest() const {
        platform::set_current_directory(wide(root()));
        fs::remove_all(dest());
        fs::create_directory(dest());
        EXPECT_TRUE(platform::set_current_directory(wide(dest())));
    }

    fs::path dest() const { return root() / "dest"; }
    fs::path at(const WideString& relative) const { return dest() / fs::path(relative); }
    WideString dest_wide() const { return wide(dest()); }

    // Writes an archive into in/ and returns its absolute path.
    WideString archive(const std::string& name, const ByteString& bytes) const {
        const fs::path p = root() / "in" / fs::path(wide_from_utf8(name));
        std::ofstream(p, std::ios::binary) << bytes;
        return wide(p);
    }
    // Copies a checked-in fixture into in/ and returns its absolute path.
    WideString fixture(const std::string& relative) const;

    void make_file(const WideString& relative, const std::string& content = "old") const {
        std::ofstream(at(relative), std::ios::binary) << content;
    }
    std::string read(const WideString& relative) const {
        std::ifstream in(at(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool exists(const WideString& relative) const { return fs::exists(at(relative)); }
    bool is_directory(const WideString& relative) const { return fs::is_directory(at(relative)); }
    // Modification time in seconds since 1970, -1 when unknown.
    std::int64_t mtime(const WideString& relative) const {
        platform::FileStatus status;
        if (platform::file_status(wide(at(relative)), status) != platform::StatResult::ok) return -1;
        return status.modification_time;
    }
    // Every path below dest, relative, with "/" separators ("dir/" for
    // directories), sorted.
    std::vector<std::string> listing() const {
        const std::set<std::string> paths = test_common::paths_below(dest());
        return std::vector<std::string>(paths.begin(), paths.end());
    }
    // Names directly in the scratch root: dest and in, unless something
    // was written outside the destination.
    std::vector<std::string> root_names() const {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(root())) {
            names.push_back(utf8(item.path().filename().generic_u16string()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

// The source tree's fixture folder.
inline fs::path fixture_path(const std::string& relative) {
    return fs::path(TSUCHI_SOURCE_DIR) / "tests" / "fixtures" / fs::path(wide_from_utf8(relative));
}

inline std::string read_binary(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline WideString Scratch::fixture(const std::string& relative) const {
    const fs::path target = root() / "in" / fs::path(wide_from_utf8(relative)).filename();
    std::ofstream(target, std::ios::binary) << read_binary(fixture_path(relative));
    return wide(target);
}

// Rows of a tab-separated fixture manifest ("#" lines skipped).
inline std::vector<std::vector<std::string>> manifest_rows(const std::string& relative) {
    return test_common::tsv_rows(read_binary(fixture_path(relative)));
}

}  // namespace lzh_test
