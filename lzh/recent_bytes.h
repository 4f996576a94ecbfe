// RecentBytes: the byte values in the order of their last use, as the
// PMarc methods code their literals (a literal is its place in this list).
// The list starts as 0x20-0x7F, 0x00-0x1F, 0xA0-0xDF, 0x80-0x9F,
// 0xE0-0xFF (text first), and every byte put out moves to the front.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace lzh {

class RecentBytes {
public:
    RecentBytes() {
        std::size_t at = 0;
        const std::pair<int, int> runs[] = {{0x20, 0x7F}, {0x00, 0x1F}, {0xA0, 0xDF}, {0x80, 0x9F}, {0xE0, 0xFF}};
        for (const auto& [first, last] : runs) {
            for (int b = first; b <= last; ++b) order_[at++] = static_cast<std::uint8_t>(b);
        }
    }

    // The byte at a place (0 to 255) of the list.
    std::uint8_t at(int place) const { return order_[static_cast<std::size_t>(place)]; }

    void use(std::uint8_t byte) {
        const auto found = std::find(order_.begin(), order_.end(), byte);
        std::rotate(order_.begin(), found, found + 1);
    }

private:
    std::array<std::uint8_t, 256> order_{};
};

}  // namespace lzh
