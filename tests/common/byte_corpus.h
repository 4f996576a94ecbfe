// Inputs for the encoder tests and the benchmarks: deterministic
// generators (random, skewed, text-like, runs, a sequence without any
// repeated byte pair) and the repository's own sources.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace corpus {

using Bytes = std::vector<std::uint8_t>;

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }

private:
    std::uint64_t state_;
};

inline Bytes random_bytes(std::size_t size, std::uint64_t seed) {
    Random random(seed);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(random.next() >> 24);
    return out;
}

// Bytes from a small alphabet: many short matches and long hash chains.
inline Bytes skewed_bytes(std::size_t size, std::uint32_t alphabet, std::uint64_t seed) {
    Random random(seed);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>('a' + random.below(alphabet));
    return out;
}

// Words of a fixed vocabulary in random order, with punctuation and lines.
inline Bytes text_bytes(std::size_t size, std::uint64_t seed) {
    static const char* const WORDS[] = {
        "the",       "of",       "archive", "and",    "to",      "a",     "in",     "file",   "is",       "that",
        "for",       "it",       "with",    "as",     "was",     "on",    "data",   "block",  "window",   "match",
        "length",    "distance", "Huffman", "code",   "stream",  "bytes", "header", "entry",  "member",   "name",
        "directory", "buffer",   "literal", "symbol", "table",   "chain", "slide",  "source", "compress", "inflate",
        "zip",       "lzh",      "method",  "stored", "deflate", "crc",   "size",   "time"};
    Random random(seed);
    Bytes out;
    out.reserve(size + 16);
    int column = 0;
    while (out.size() < size) {
        const std::string word = WORDS[random.below(std::size(WORDS))];
        out.insert(out.end(), word.begin(), word.end());
        column += static_cast<int>(word.size()) + 1;
        const std::uint32_t r = random.below(100);
        if (r < 6) out.push_back(',');
        if (r >= 6 && r < 10) out.push_back('.');
        if (column > 70) {
            out.push_back('\n');
            column = 0;
        } else {
            out.push_back(' ');
        }
    }
    out.resize(size);
    return out;
}

// Runs of one byte, 1 to max_run long, of random bytes.
inline Bytes run_bytes(std::size_t size, std::uint32_t max_run, std::uint64_t seed) {
    Random random(seed);
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const auto byte = static_cast<std::uint8_t>(random.below(6));
        const std::size_t run = 1 + random.below(max_run);
        out.insert(out.end(), std::min(run, size - out.size()), byte);
    }
    return out;
}

// A de Bruijn sequence of all 65536 byte pairs: read cyclically, every pair
// of neighbouring bytes occurs exactly once, so within 65536 bytes no two
// positions share a two-byte key and the encoder finds no match at all. It
// is the concatenation, in order, of the words "a" and "ab" (a < b).
inline Bytes pair_sequence() {
    Bytes out;
    out.reserve(65536);
    for (int a = 0; a < 256; ++a) {
        out.push_back(static_cast<std::uint8_t>(a));
        for (int b = a + 1; b < 256; ++b) {
            out.push_back(static_cast<std::uint8_t>(a));
            out.push_back(static_cast<std::uint8_t>(b));
        }
    }
    return out;
}

// The pair sequence repeated to size bytes.
inline Bytes pair_sequence(std::size_t size) {
    const Bytes one = pair_sequence();
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = one[i % one.size()];
    return out;
}

// The C++ sources and CMake files below the given directories of the
// repository, in path order, concatenated.
inline Bytes repository_sources(const std::string& root, const std::vector<std::string>& directories) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const std::string& directory : directories) {
        const fs::path base = fs::path(root) / directory;
        if (!fs::is_directory(base)) continue;
        for (const auto& item : fs::recursive_directory_iterator(base)) {
            const std::string ext = item.path().extension().string();
            if (item.is_regular_file() && (ext == ".h" || ext == ".cpp" || ext == ".txt")) files.push_back(item.path());
        }
    }
    std::sort(files.begin(), files.end());
    Bytes out;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        out.insert(out.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return out;
}

}  // namespace corpus
