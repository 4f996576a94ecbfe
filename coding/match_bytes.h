// Byte-level helpers of the LZ77 match finders: unaligned loads, hashes of
// the next three or four bytes, and the length of a common prefix measured
// eight bytes at a time.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace coding {

inline std::uint32_t load32(const std::uint8_t* bytes) {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

inline std::uint64_t load64(const std::uint8_t* bytes) {
    std::uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Multiplicative hashes into bits bits: the product's top bits depend on
// every key byte. The keys take the bytes in a fixed order whatever the
// machine's, so the chains (and the output) are the same everywhere; the
// three-byte key is the four-byte one without its top byte, so a finder
// that hashes both reads the bytes once.
inline std::uint32_t key4(const std::uint8_t* bytes) {
    return bytes[0] | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
}

inline std::uint32_t hash_key(std::uint32_t key, int bits) { return (key * 0x9E3779B1u) >> (32 - bits); }

inline std::uint32_t hash4(const std::uint8_t* bytes, int bits) { return hash_key(key4(bytes), bits); }

inline std::uint32_t hash3(const std::uint8_t* bytes, int bits) {
    const std::uint32_t key = bytes[0] | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16;
    return hash_key(key, bits);
}

// The hash width for the heads of one file: a file the first fill took
// whole (bytes long) gets buckets in proportion to its size, at least
// 2^fewest, so that emptying them costs no more than the file; a longer one
// gets 2^most. Collisions only add candidates, which lose to the real ones,
// so the matches do not depend on the width.
inline int hash_bits_for(std::int32_t bytes, bool whole, int fewest, int most) {
    if (!whole) return most;
    return std::clamp(static_cast<int>(std::bit_width(static_cast<std::uint32_t>(bytes))), fewest, most);
}

// The length of the common prefix of here and there, at most limit; reads
// up to seven bytes beyond limit without counting them.
inline int match_length(const std::uint8_t* here, const std::uint8_t* there, int limit) {
    if constexpr (std::endian::native == std::endian::little) {
        for (int length = 0; length < limit; length += 8) {
            // In a little-endian load the first byte is the lowest.
            if (const std::uint64_t diff = load64(here + length) ^ load64(there + length); diff != 0) {
                return std::min(length + std::countr_zero(diff) / 8, limit);
            }
        }
        return limit;
    } else {
        int length = 0;
        while (length < limit && here[length] == there[length]) ++length;
        return length;
    }
}

// The common prefix of here and there as match_length measures it, and
// whether there's first differing byte is the smaller one (false when the
// prefix reaches limit). The bytes are taken from the words already
// compared: the descent of a search tree needs both, and a second load
// would lengthen the chain of loads it waits on.
struct PrefixOrder {
    int length;
    bool there_smaller;
};

inline PrefixOrder match_length_and_order(const std::uint8_t* here, const std::uint8_t* there, int limit) {
    if constexpr (std::endian::native == std::endian::little) {
        for (int length = 0; length < limit; length += 8) {
            const std::uint64_t mine = load64(here + length);
            const std::uint64_t theirs = load64(there + length);
            if (const std::uint64_t diff = mine ^ theirs; diff != 0) {
                const int shift = std::countr_zero(diff) & ~7;
                const int shared = length + shift / 8;
                if (shared >= limit) return {limit, false};
                return {shared, ((theirs >> shift) & 0xFF) < ((mine >> shift) & 0xFF)};
            }
        }
        return {limit, false};
    } else {
        const int length = match_length(here, there, limit);
        return {length, length < limit && there[length] < here[length]};
    }
}

}  // namespace coding
