// Proves that random name characters map the runtime library's numbers onto
// the 64 file-name-safe characters exactly, and that an unseeded string
// continues the generator's sequence.
#include <gtest/gtest.h>

#include <vector>

#include "text_convert.h"

namespace {

const WideString ALPHABET = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

TEST(RandomNames, MapEachNumberModulo64) {
    for (unsigned seed : {1u, 7u, 12345u}) {
        platform::seed_random(seed);
        std::vector<int> numbers;
        for (int i = 0; i < 500; ++i) numbers.push_back(platform::random_number());

        platform::seed_random(seed);
        const WideString text = random_wide_string(500, false);
        ASSERT_EQ(text.size(), 500u);
        for (int i = 0; i < 500; ++i) ASSERT_EQ(text[i], ALPHABET[numbers[i] % 64]) << seed << " " << i;

        platform::seed_random(seed);
        EXPECT_EQ(random_name_char(), ALPHABET[numbers[0] % 64]);
    }
}

TEST(RandomNames, CountsAndAlphabet) {
    platform::seed_random(3);
    EXPECT_EQ(random_wide_string(0, false), u"");
    EXPECT_EQ(random_wide_string(-5, false), u"");
    const WideString seeded = random_wide_string(18, true);
    ASSERT_EQ(seeded.size(), 18u);
    for (char16_t c : seeded) EXPECT_NE(ALPHABET.find(c), WideString::npos);
}

}  // namespace
