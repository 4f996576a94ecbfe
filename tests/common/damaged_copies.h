// Damaged copies of compressed data for the decoders' differential tests:
// a few bits flipped, the end cut off, or a few bytes inserted, in turn.
// The same seed gives the same copies, so a failure can be replayed.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace test_common {

inline std::vector<std::string> damaged_copies(const std::string& data, int count, unsigned seed) {
    std::mt19937 rng(seed);
    const auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    std::vector<std::string> copies;
    for (int i = 0; i < count; ++i) {
        std::string copy = data;
        if (i % 3 == 0 && !copy.empty()) {
            for (std::size_t flips = 1 + below(4); flips > 0; --flips)
                copy[below(copy.size())] ^= static_cast<char>(1 << below(8));
        } else if (i % 3 == 1) {
            copy.resize(below(copy.size() + 1));
        } else {
            std::string inserted(1 + below(8), '\0');
            for (char& c : inserted) c = static_cast<char>(below(256));
            copy.insert(below(copy.size() + 1), inserted);
        }
        copies.push_back(std::move(copy));
    }
    return copies;
}

}  // namespace test_common
