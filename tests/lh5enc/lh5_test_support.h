// What the -lh5- encoder tests share: running the encoder over bytes held
// in a file (the encoder reads a std::FILE*), bit strings for exact
// expectations, and the inputs the tests are built from.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "byte_corpus.h"
#include "lh5_enc.h"
#include "lh7_enc.h"
#include "test_input_file.h"

namespace lh5_test {

using Bytes = std::vector<std::uint8_t>;

// A file in the working directory named after the running test (and a
// tag), removed again on destruction.
class TempFile : public test_common::TestInputFile {
public:
    explicit TempFile(const Bytes& bytes, const std::string& tag = "in") : TestInputFile(bytes, "lh5enc", tag) {}
};

struct Compressed {
    Bytes data;
    lzh::LH5Result result;
};

// Compresses bytes through a file with the chosen form of the search, or
// with the -lh6-/-lh7- encoder when dictionary_bits is 15 or 16.
inline Compressed compress(const Bytes& bytes, lzh::LH5MatchFinder finder = lzh::LH5MatchFinder::FAST,
                           const std::string& tag = "in", int dictionary_bits = lzh::LH5BlockEnc::LH5_DICTIONARY_BITS) {
    TempFile file(bytes, tag);
    std::FILE* source = std::fopen(file.path().c_str(), "rb");
    if (source == nullptr) throw std::runtime_error("cannot open " + file.path());
    Compressed out;
    out.result = dictionary_bits == lzh::LH5BlockEnc::LH5_DICTIONARY_BITS
                     ? lzh::lh5_compress(source, out.data, finder)
                     : lzh::lh7_compress(source, out.data, dictionary_bits);
    std::fclose(source);
    return out;
}

// "0101 1" -> the bits packed most significant first, the last byte padded
// with 0 bits. Spaces and other characters only separate fields.
inline Bytes bits_to_bytes(const std::string& bits) {
    Bytes out;
    int count = 0;
    for (const char c : bits) {
        if (c != '0' && c != '1') continue;
        if (count % 8 == 0) out.push_back(0);
        if (c == '1') out.back() |= static_cast<std::uint8_t>(0x80 >> (count % 8));
        ++count;
    }
    return out;
}

inline int bit_count(const std::string& bits) {
    int count = 0;
    for (const char c : bits) count += c == '0' || c == '1';
    return count;
}

// value in n bits, most significant first.
inline std::string field(unsigned value, int n) {
    std::string out;
    for (int i = n - 1; i >= 0; --i) out += ((value >> i) & 1u) ? '1' : '0';
    return out + ' ';
}

// CRC-16/ARC bit by bit, independent of the library's table.
inline std::uint16_t crc16(const Bytes& bytes) {
    std::uint16_t crc = 0;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

// ---- inputs ----------------------------------------------------------------

inline Bytes random_bytes(std::size_t size, std::uint32_t seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, alphabet - 1);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(pick(rng));
    return out;
}

// Words drawn with a skewed distribution from a small vocabulary: text-like
// data with many short and medium matches.
inline Bytes text_like(std::size_t size, std::uint32_t seed) {
    static const char* const words[] = {
        "the",    "archive",  "of",    "and",    "a",       "to",      "block",   "is",      "in",     "header",
        "length", "code",     "for",   "with",   "bytes",   "match",   "table",   "symbol",  "each",   "data",
        "window", "distance", "from",  "that",   "literal", "encoder", "decoder", "huffman", "stream", "position",
        "file",   "name",     "level", "method", "chain",   "buffer",  "greedy",  "slide",   "entry",  "record"};
    std::mt19937 rng(seed);
    std::geometric_distribution<int> pick(0.12);
    std::uniform_int_distribution<int> punct(0, 15);
    Bytes out;
    while (out.size() < size) {
        const char* w = words[static_cast<std::size_t>(pick(rng)) % (sizeof words / sizeof *words)];
        for (const char* c = w; *c; ++c) out.push_back(static_cast<std::uint8_t>(*c));
        const int p = punct(rng);
        out.push_back(p == 0 ? '.' : p == 1 ? ',' : p == 2 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

// Runs of random bytes with random lengths (1 to max_run).
inline Bytes runs(std::size_t size, std::uint32_t seed, int max_run) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(1, max_run);
    Bytes out;
    while (out.size() < size)
        out.insert(out.end(), static_cast<std::size_t>(length(rng)), static_cast<std::uint8_t>(byte(rng)));
    out.resize(size);
    return out;
}

// The first `head` bytes of the pair sequence, then `length` of them again
// from `from`: a match exactly as far back as the encoder chooses, where
// nothing before it repeats.
inline Bytes pairs_then_repeat(std::size_t head, std::size_t from, std::size_t length) {
    const Bytes pairs = corpus::pair_sequence();
    Bytes out(pairs.begin(), pairs.begin() + static_cast<std::ptrdiff_t>(head));
    out.insert(out.end(), pairs.begin() + static_cast<std::ptrdiff_t>(from),
               pairs.begin() + static_cast<std::ptrdiff_t>(from + length));
    return out;
}

// A long run of zeros (past the first blocks of the encoder), then text.
inline Bytes zeros_then_text(std::size_t zeros, std::size_t text_size, std::uint32_t seed) {
    Bytes out(zeros, 0);
    const Bytes text = text_like(text_size, seed);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

// block repeated until size bytes.
inline Bytes repeated(const Bytes& block, std::size_t size) {
    Bytes out;
    while (out.size() < size) out.insert(out.end(), block.begin(), block.end());
    out.resize(size);
    return out;
}

}  // namespace lh5_test
