// The order in which bits travel through a byte stream.
//
// The LZH library moves bits most significant first: within a byte the bit
// of value 0x80 comes first, and a multi-bit field is sent from its top bit
// down. Deflate, and so the ZIP library, moves them least significant first:
// the bit of value 0x01 comes first and a field is sent from its bit 0 up.
// Huffman codes are read first bit first in both, so in the ZIP library a
// code is kept bit-reversed against its canonical value.
//
// Every class of the coding core that depends on the order takes it as a
// template parameter; the two libraries share one source.
#pragma once

#include <cstdint>

namespace coding {

enum class BitOrder { MSB_FIRST, LSB_FIRST };

// Mask of the low n bits, n from 0 to 32.
constexpr std::uint32_t low_mask(int n) { return n >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << n) - 1; }

// The low n bits of value in reverse order (n from 0 to 32); higher bits of
// value are dropped. The whole word is reversed by swapping ever smaller
// halves, which puts the low n bits, reversed, on top.
constexpr std::uint32_t reverse_bits(std::uint32_t value, int n) {
    if (n <= 0) return 0;
    value = ((value >> 1) & 0x55555555u) | ((value & 0x55555555u) << 1);
    value = ((value >> 2) & 0x33333333u) | ((value & 0x33333333u) << 2);
    value = ((value >> 4) & 0x0F0F0F0Fu) | ((value & 0x0F0F0F0Fu) << 4);
    value = ((value >> 8) & 0x00FF00FFu) | ((value & 0x00FF00FFu) << 8);
    value = (value >> 16) | (value << 16);
    return value >> (32 - n);
}

}  // namespace coding
