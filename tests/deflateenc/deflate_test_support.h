// Shared helpers of the Deflate encoder tests: source files, running both
// encoder forms, and the check of every stream against Python's zlib.
//
// encode_checked runs the fast and the reference encoder over the same
// input, expects identical bytes and CRCs, reads the stream back with the
// tests' own parser, and queues it for zlib. At the end of the test program
// the queued streams are written out and inflated by python3's zlib (raw
// Deflate, wbits -15) in one run of inflate_raw.py; every mismatch is a
// failure of the program. Without python3 (or on Windows) that check is
// skipped with a note.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "coding_set.h"
#include "deflate_block_enc.h"
#include "deflate_enc.h"
#include "deflate_enc_reference.h"
#include "deflate_parse.h"
#include "test_input_file.h"

using Bytes = std::vector<std::uint8_t>;

// A file in the working directory, named after the running test, holding
// the given bytes and open for reading.
class SourceFile : public test_common::TestInputFile {
public:
    explicit SourceFile(const Bytes& bytes, const char* tag = "src") : TestInputFile(bytes, "deflateenc", tag) {}
};

struct Encoded {
    Bytes bytes;
    std::uint32_t crc32 = 0;  // complement of the register
    std::int64_t bytes_read = 0;
    std::int32_t blocks = 0;
    bool read_failed = false;
    bool over_limit = false;
};

// One encoder run as the creation driver does it.
template <class Encoder>
Encoded encode_file(std::FILE* source, std::int32_t buffer_entries = DeflateBlockEnc::BUFFER_ENTRIES,
                    std::int64_t byte_limit = DeflateSource::NO_LIMIT) {
    Encoded result;
    coding::ZipCoding::BitOutStream bits(result.bytes);
    DeflateBlockEnc blocks(bits, buffer_entries);
    Encoder encoder;
    encoder.compress(source, blocks, byte_limit);
    blocks.finish();
    bits.flush();
    result.crc32 = ~encoder.crc.value;
    result.bytes_read = encoder.bytes_read();
    result.blocks = blocks.blocks_written();
    result.read_failed = encoder.read_failed();
    result.over_limit = encoder.over_limit();
    return result;
}

template <class Encoder>
Encoded encode_with(const Bytes& input, std::int32_t buffer_entries = DeflateBlockEnc::BUFFER_ENTRIES) {
    SourceFile source(input);
    return encode_file<Encoder>(source.get(), buffer_entries);
}

// ---- the zlib oracle --------------------------------------------------------

class ZlibOracle : public ::testing::Environment {
public:
    static ZlibOracle& instance() {
        static ZlibOracle* oracle = [] {
            auto* created = new ZlibOracle;
            ::testing::AddGlobalTestEnvironment(created);  // gtest owns it
            return created;
        }();
        return *oracle;
    }

    void queue(const std::string& name, const Bytes& stream, const Bytes& input) {
        if (pending_.empty() && owner_.empty()) {
            // CTest runs the tests of one program side by side, each in a
            // process of its own: the first test that queues names the
            // directory of this process.
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            owner_ = info ? std::string(info->test_suite_name()) + "_" + info->name() : "env";
        }
        pending_.push_back({name, stream, input});
    }

    // True when python3 with zlib can be run; why not otherwise.
    static bool available(std::string& why) {
#ifdef _WIN32
        why = "the zlib check runs on Linux only";
        return false;
#else
        if (std::system("python3 -c \"import zlib\" >/dev/null 2>&1") != 0) {
            why = "python3 with zlib not found";
            return false;
        }
        return true;
#endif
    }

    // Inflates the queued streams with zlib; returns the script's report
    // and whether everything matched. Empties the queue.
    bool run(std::string& report) {
        namespace fs = std::filesystem;
        const fs::path dir = fs::path("deflateenc_zlib_" + sanitize(owner_));
        fs::remove_all(dir);
        fs::create_directories(dir);
        int index = 0;
        for (const Pending& p : pending_) {
            const std::string stem = std::to_string(index++) + "_" + sanitize(p.name);
            write(dir / (stem + ".deflate"), p.stream);
            write(dir / (stem + ".raw"), p.input);
        }
        pending_.clear();
        const fs::path log = dir / "report.txt";
        const std::string command = std::string("python3 \"") + TSUCHI_SOURCE_DIR +
                                    "/tests/deflateenc/inflate_raw.py\" \"" + dir.string() + "\" > \"" + log.string() +
                                    "\" 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        report = text.str();
        if (status == 0) fs::remove_all(dir);
        return status == 0;
    }

    std::size_t pending() const { return pending_.size(); }

    void TearDown() override {
        if (pending_.empty()) return;
        std::string why;
        if (!available(why)) {
            std::printf("[ NOTE     ] %zu streams not checked with zlib: %s\n", pending_.size(), why.c_str());
            pending_.clear();
            return;
        }
        const std::size_t count = pending_.size();
        std::string report;
        if (run(report)) {
            std::printf("[ ZLIB     ] %zu streams inflate to their input\n", count);
        } else {
            ADD_FAILURE() << "zlib does not inflate our streams to their input:\n" << report;
        }
    }

private:
    struct Pending {
        std::string name;
        Bytes stream;
        Bytes input;
    };

    static std::string sanitize(const std::string& name) {
        std::string out;
        for (char c : name) out += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '_';
        return out.substr(0, 100);
    }

    static void write(const std::filesystem::path& path, const Bytes& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<Pending> pending_;
    std::string owner_;
};

// Registered before the tests start, so that its TearDown runs at the end.
inline const bool ZLIB_ORACLE_REGISTERED = (ZlibOracle::instance(), true);

// Both encoder forms over input: the same bytes and CRC, a stream the tests'
// parser reads back to the input, queued for zlib. Returns the fast form's
// result and the parsed stream.
inline Encoded encode_checked(const std::string& name, const Bytes& input, ParsedStream* parsed = nullptr,
                              std::int32_t buffer_entries = DeflateBlockEnc::BUFFER_ENTRIES) {
    const Encoded fast = encode_with<DeflateEnc>(input, buffer_entries);
    const Encoded reference = encode_with<DeflateEncReference>(input, buffer_entries);
    EXPECT_TRUE(fast.bytes == reference.bytes) << name << ": the fast and the reference form differ";
    EXPECT_EQ(fast.crc32, reference.crc32) << name;
    EXPECT_EQ(fast.bytes_read, static_cast<std::int64_t>(input.size())) << name;
    ParsedStream stream;
    try {
        stream = parse_deflate(fast.bytes);
    } catch (const std::exception& e) {
        ADD_FAILURE() << name << ": " << e.what();
    }
    EXPECT_TRUE(stream.output == input) << name << ": the stream does not read back to the input";
    ZlibOracle::instance().queue(name, fast.bytes, input);
    if (parsed != nullptr) *parsed = std::move(stream);
    return fast;
}
