// The word-wide match copy of the decoders' output window against a byte
// loop, for the distances where its strategies differ (a run of one byte,
// patterns shorter than a word, overlapping and distant sources), and the
// bound on how far past the match it may write.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "coding_set.h"
#include "output_window.h"

namespace {

using Window = coding::OutputWindow<coding::ZipCoding::FileDecOutStream>;

TEST(OutputWindow, MatchCopyGivesTheBytesOfAByteLoopAndStaysInTheSlack) {
    constexpr std::size_t HISTORY = 64;
    std::mt19937 random(15);
    for (std::size_t distance = 1; distance <= 40; ++distance) {
        for (const std::size_t length : {1u, 2u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 100u, 258u}) {
            std::vector<std::uint8_t> buffer(HISTORY + length + Window::SLACK + 8);
            for (auto& byte : buffer) byte = static_cast<std::uint8_t>(random());
            std::vector<std::uint8_t> expected = buffer;
            for (std::size_t k = 0; k < length; ++k) expected[HISTORY + k] = expected[HISTORY + k - distance];
            Window::copy_match(buffer.data() + HISTORY, distance, length);
            // The match, the history before it and whatever lies past the
            // slack are as the byte loop leaves them.
            for (std::size_t k = 0; k < HISTORY + length; ++k) {
                ASSERT_EQ(buffer[k], expected[k]) << distance << " " << length << " at " << k;
            }
            for (std::size_t k = HISTORY + length + Window::SLACK; k < buffer.size(); ++k) {
                ASSERT_EQ(buffer[k], expected[k]) << distance << " " << length << " at " << k;
            }
        }
    }
}

}  // namespace
