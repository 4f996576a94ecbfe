// n log2 n of a symbol count, for the best level's estimate of a block's
// size, without the math library.
//
// The math library would be a second shared object for the ZIP library to
// load at every start (about as dear as loading the ZIP library itself),
// for this one function of one level. With n = 2^e m, m in [sqrt(1/2),
// sqrt(2)), log2 m = 2 atanh(s) / ln 2 where s = (m - 1) / (m + 1) and
// |s| < 0.172: ten terms of the atanh series reach double precision. The
// result is within a few units in the last place of n * std::log2(n), and
// exact where n is a power of two.
#pragma once

#include <bit>
#include <cstdint>

namespace deflate_enc {

inline double n_log2_n(std::uint32_t n) {
    if (n <= 1) return 0;
    int e = std::bit_width(n) - 1;
    // Exact: a division by a power of two.
    double m = static_cast<double>(n) / static_cast<double>(std::uint64_t{1} << e);
    if (m > 1.4142135623730951) {
        m /= 2;
        ++e;
    }
    const double s = (m - 1) / (m + 1);
    const double s2 = s * s;
    // s (1 + s^2/3 + s^4/5 + ... + s^18/19), from the smallest term up.
    double series = 0;
    for (int k = 19; k >= 3; k -= 2) series = (series + 1.0 / k) * s2;
    constexpr double TWO_OVER_LN_2 = 2.8853900817779268;
    return static_cast<double>(n) * (e + TWO_OVER_LN_2 * s * (1 + series));
}

}  // namespace deflate_enc
