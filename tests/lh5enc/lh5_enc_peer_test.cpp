// Proves that independent LZH readers take the encoders' data as meant, for
// -lh5- and for the -lh6- and -lh7- of the larger dictionaries: the data of
// a varied set of sources goes into a minimal level-2 archive (built here
// from the format), which lhasa, 7-Zip, bsdtar and jlha extract; every
// member must come back byte for byte. This covers the single-symbol
// tables, whose symbol costs no bits, as those readers take them, and
// matches from the far end of each dictionary. Linux only; a reader that
// is not installed is skipped with a message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lh5_enc.h"
#include "lh5_test_support.h"

using lh5_test::Bytes;

namespace {

namespace fs = std::filesystem;

void put16(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// Level-2 header:
//   0  2  header length H (all of it, to the final size field)
//   2  5  method "-lh5-", "-lh6-" or "-lh7-"
//   7  4  compressed size
//  11  4  original size
//  15  4  time, seconds since 1970
//  19  1  attribute 0x20
//  20  1  level 2
//  21  2  CRC-16 of the original data
//  23  1  operating system 'M'
//  24  2  size of the first extended header
// then extended headers (type, data, size of the next): 0x01 the name,
// 0x00 the CRC-16 of the whole header (taken as 0 while it is computed),
// and the final size 0.
Bytes member(const std::string& name, const std::string& method, const Bytes& original, const Bytes& data,
             std::uint16_t crc) {
    Bytes h;
    put16(h, 0);
    for (const char c : method) h.push_back(static_cast<std::uint8_t>(c));
    put32(h, static_cast<std::uint32_t>(data.size()));
    put32(h, static_cast<std::uint32_t>(original.size()));
    put32(h, 1600000000u);
    h.push_back(0x20);
    h.push_back(2);
    put16(h, crc);
    h.push_back('M');
    put16(h, static_cast<unsigned>(3 + name.size()));
    h.push_back(0x01);
    h.insert(h.end(), name.begin(), name.end());
    put16(h, 5);
    h.push_back(0x00);
    const std::size_t crc_at = h.size();
    put16(h, 0);
    put16(h, 0);
    h[0] = static_cast<std::uint8_t>(h.size() & 0xFF);
    h[1] = static_cast<std::uint8_t>(h.size() >> 8);
    const std::uint16_t header_crc = lh5_test::crc16(h);
    h[crc_at] = static_cast<std::uint8_t>(header_crc & 0xFF);
    h[crc_at + 1] = static_cast<std::uint8_t>(header_crc >> 8);
    h.insert(h.end(), data.begin(), data.end());
    return h;
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

std::vector<std::pair<std::string, Bytes>> sources() {
    const Bytes pairs = corpus::pair_sequence();
    Bytes zero_to_15;
    for (int c = 0; c < 16; ++c) zero_to_15.push_back(static_cast<std::uint8_t>(c));
    return {
        {"zero.bin", Bytes{0x00}},
        {"abcabc.txt", Bytes{'a', 'b', 'c', 'a', 'b', 'c'}},
        {"x300.txt", Bytes(300, 'x')},
        {"q5000.txt", Bytes(5000, 'q')},
        // The second block of a long run (2^21 bytes from its 2^21 + 1st) is
        // one literal/length symbol (509) and one position symbol (0): no
        // bits per match. Text follows, so that a reader that took bits
        // for them would go wrong.
        {"zeros_then_text.bin", lh5_test::zeros_then_text(4500000, 50000, 36)},
        {"zero_to_15.bin", zero_to_15},
        {"pairs40000.bin", Bytes(pairs.begin(), pairs.begin() + 40000)},
        {"across_slide.bin", lh5_test::pairs_then_repeat(16000, 7808, 300)},
        {"text.txt", lh5_test::text_like(200000, 31)},
        {"random.bin", lh5_test::random_bytes(30000, 32)},
        {"runs.bin", lh5_test::runs(100000, 33, 500)},
        {"period8192.bin", lh5_test::repeated(lh5_test::random_bytes(8192, 34), 60000)},
        {"ab.bin", lh5_test::random_bytes(50000, 35, 2)},
        // Repeats from the far end of the -lh6- and -lh7- dictionaries.
        {"period32768.bin", lh5_test::repeated(lh5_test::random_bytes(32768, 37), 80000)},
        {"period65536.bin", lh5_test::repeated(lh5_test::random_bytes(65536, 38), 160000)},
    };
}

struct Method {
    const char* id;
    int dictionary_bits;
};

// One reader: its extraction command, run in the test's folder with the
// archive test.lzh, into out/, and a member it is not asked to read.
// bsdtar refuses the coded form of a lone byte ("Bad lzh data"); creation
// never writes it, since a member that does not shrink is stored.
struct Reader {
    const char* tool;
    const char* extract;
    const char* excluded;
};

const Reader READERS[] = {
    {"lhasa", "lhasa -xfw=out test.lzh && lhasa t test.lzh", ""},
    {"7z", "7z e -y -oout test.lzh", ""},
    {"bsdtar", "bsdtar -xf test.lzh -C out --exclude zero.bin", "zero.bin"},
    {"jlha", "cd out && jlha x ../test.lzh", ""},
};

class Lh5EncPeer : public ::testing::TestWithParam<Method> {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "the peer readers are run on Linux only";
#endif
        const Method& method = GetParam();
        dir_ = fs::path("lh5enc_peer_") += std::to_string(method.dictionary_bits);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        Bytes archive;
        for (const auto& [name, input] : sources()) {
            const auto out = lh5_test::compress(input, lzh::LH5MatchFinder::FAST, "in", method.dictionary_bits);
            const Bytes m = member(name, method.id, input, out.data, out.result.crc);
            archive.insert(archive.end(), m.begin(), m.end());
        }
        archive.push_back(0);
        std::ofstream(dir_ / "test.lzh", std::ios::binary)
            .write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    }
    // The archive and the logs stay for a look when something failed.
    void TearDown() override {
        if (!dir_.empty() && !HasFailure()) fs::remove_all(dir_);
    }

    fs::path dir_;
};

TEST_P(Lh5EncPeer, EveryReaderExtractsEveryMember) {
    const auto members = sources();
    for (const Reader& reader : READERS) {
        if (!have(reader.tool)) {
            std::printf("[ SKIPPED  ] %s is not installed\n", reader.tool);
            continue;
        }
        fs::remove_all(dir_ / "out");
        fs::create_directories(dir_ / "out");
        const fs::path log = fs::absolute(dir_ / (std::string(reader.tool) + ".log"));
        const std::string command =
            "cd '" + dir_.string() + "' && (" + reader.extract + ") >'" + log.string() + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << reader.tool << ": see " << log;
        for (const auto& [name, input] : members) {
            if (name == reader.excluded) continue;
            EXPECT_TRUE(read_file(dir_ / "out" / name) == input) << reader.tool << ": " << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, Lh5EncPeer,
                         ::testing::Values(Method{"-lh5-", 13}, Method{"-lh6-", 15}, Method{"-lh7-", 16}),
                         [](const auto& info) { return std::string(info.param.id).substr(1, 3); });

}  // namespace
