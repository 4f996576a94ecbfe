// The prefix measures of the match finders against a byte-at-a-time
// reference: every prefix length from 0 past two words, cut by every limit
// around it, with the first differing byte either smaller or larger, so
// that the byte order taken from the compared words (which a search tree
// descends by) is checked at each position in a word.
#include "match_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(MatchBytes, PrefixAndOrderAgreeWithBytewise) {
    // Eight bytes of slack past every limit, as the word loads may read.
    constexpr int SPAN = 24;
    for (int shared = 0; shared <= SPAN; ++shared) {
        for (const bool there_smaller : {true, false}) {
            std::vector<std::uint8_t> here(SPAN + 8 + 1, 0x5A);
            std::vector<std::uint8_t> there = here;
            // A difference in the top bit as well, so that a signed
            // comparison of the bytes would be caught.
            (there_smaller ? there : here)[static_cast<std::size_t>(shared)] = 0x00;
            (there_smaller ? here : there)[static_cast<std::size_t>(shared)] = 0xC3;
            for (int limit = 0; limit <= SPAN; ++limit) {
                const int expected = std::min(shared, limit);
                const bool expected_order = shared < limit && there_smaller;
                SCOPED_TRACE(testing::Message() << "shared " << shared << " limit " << limit);
                EXPECT_EQ(coding::match_length(here.data(), there.data(), limit), expected);
                const coding::PrefixOrder order = coding::match_length_and_order(here.data(), there.data(), limit);
                EXPECT_EQ(order.length, expected);
                EXPECT_EQ(order.there_smaller, expected_order);
            }
        }
    }
}

}  // namespace
