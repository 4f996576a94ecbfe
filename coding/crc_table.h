// CrcTable16, CrcTable32: table-driven CRC engines.
//
// Both are reflected CRCs: the table is built from the polynomial in
// reflected form and bytes enter at the low end of the register.
//   CrcTable16: polynomial 0xA001, initial 0, no final step (CRC-16/ARC).
//     LZH uses it over entry data and over headers that carry a header CRC.
//   CrcTable32: polynomial 0xEDB88320, initial 0xFFFFFFFF; the CRC is the
//     complement of the register (CRC-32 as ZIP uses it).
// The register is read directly by the users.
//
// A single byte takes one table step. A run of bytes goes sixteen at a
// time ("slicing by 16"): slice k holds the effect of a byte followed by k
// zero bytes, so the sixteen bytes of two words (the register folded into
// the low bytes of the first) are looked up independently and the results
// XORed together, which gives the same register as sixteen single steps.
// The tables depend only on the polynomial and are computed at compile
// time, once per program.
//
// Runs of CRC_FOLD_MIN bytes or more go by carry-less multiplication where
// the processor has it (crc_fold.cpp), several times faster; the slicing
// code takes what is left (fewer than sixteen bytes) and every run on other
// processors.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace coding {

inline constexpr std::uint16_t CRC16_POLYNOMIAL = 0xA001;
inline constexpr std::uint16_t CRC16_INITIAL = 0;
inline constexpr std::uint32_t CRC32_POLYNOMIAL = 0xEDB88320;
inline constexpr std::uint32_t CRC32_INITIAL = 0xFFFFFFFF;

// The shortest run worth folding: four sixteen-byte blocks, the width of
// the folding loop.
inline constexpr std::size_t CRC_FOLD_MIN = 64;

// Whether crc_fold works on this processor.
bool crc_fold_available();

// Folds the whole sixteen-byte blocks at the start of a run of size bytes
// into reg, the register of the reflected CRC with the given polynomial
// (CRC16_POLYNOMIAL, its register zero-extended, or CRC32_POLYNOMIAL), and
// returns the number of bytes taken: size rounded down to a multiple of 16,
// or 0 for a shorter run than CRC_FOLD_MIN, another polynomial or a
// processor without the instructions.
std::size_t crc_fold(std::uint32_t polynomial, std::uint32_t& reg, const std::uint8_t* data, std::size_t size);

template <class Register>
using CrcSlices = std::array<std::array<Register, 256>, 16>;

// Slice 0 entry i is the register after shifting the byte i through it
// alone: eight steps, each a logical shift right by one, with the
// polynomial folded in whenever a 1 bit falls out at the low end. Slice k
// entry i is slice k-1 entry i pushed through one more zero byte.
template <class Register>
constexpr CrcSlices<Register> crc_slices(Register polynomial) {
    CrcSlices<Register> slices{};
    for (unsigned i = 0; i < 256; ++i) {
        auto b = static_cast<Register>(i);
        for (int step = 0; step < 8; ++step) {
            b = (b & 1) ? static_cast<Register>(polynomial ^ (b >> 1)) : static_cast<Register>(b >> 1);
        }
        slices[0][i] = b;
    }
    for (std::size_t k = 1; k < slices.size(); ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            const Register previous = slices[k - 1][i];
            slices[k][i] = static_cast<Register>((previous >> 8) ^ slices[0][previous & 0xFF]);
        }
    }
    return slices;
}

template <class Register>
class CrcTable {
    static_assert(std::is_same_v<Register, std::uint16_t> || std::is_same_v<Register, std::uint32_t>);

public:
    static constexpr Register POLYNOMIAL =
        sizeof(Register) == 2 ? Register(CRC16_POLYNOMIAL) : Register(CRC32_POLYNOMIAL);
    static constexpr Register INITIAL = sizeof(Register) == 2 ? Register(CRC16_INITIAL) : Register(CRC32_INITIAL);

    // The register width's archive CRC (table above), from its initial
    // register or from another one (to continue a CRC, or for a variant
    // that starts elsewhere).
    constexpr CrcTable() = default;
    constexpr explicit CrcTable(Register initial) : value(initial) {}

    // Folds one byte into the register; returns the new register value.
    Register update(std::uint8_t byte) {
        value = static_cast<Register>((value >> 8) ^ SLICES[0][(byte ^ value) & 0xFF]);
        return value;
    }

    // Folds size bytes, in order.
    Register update(const std::uint8_t* data, std::size_t size) {
        if (size >= CRC_FOLD_MIN) {
            std::uint32_t reg = value;
            const std::size_t taken = crc_fold(POLYNOMIAL, reg, data, size);
            value = static_cast<Register>(reg);
            data += taken;
            size -= taken;
        }
        value = sliced(value, data, size);
        return value;
    }

    // The register after size bytes from reg by the tables alone.
    static Register sliced(Register reg, const std::uint8_t* data, std::size_t size) {
        for (; size >= 16; size -= 16, data += 16) {
            const std::uint64_t first = little_word(data) ^ reg;
            const std::uint64_t second = little_word(data + 8);
            reg = 0;
            for (int k = 0; k < 8; ++k) {
                reg ^= SLICES[15 - k][(first >> (8 * k)) & 0xFF] ^ SLICES[7 - k][(second >> (8 * k)) & 0xFF];
            }
        }
        for (std::size_t i = 0; i < size; ++i) {
            reg = static_cast<Register>((reg >> 8) ^ SLICES[0][(data[i] ^ reg) & 0xFF]);
        }
        return reg;
    }

    // The register as archives store the check value: CRC-32 complemented,
    // CRC-16 as it is.
    Register stored_value() const { return sizeof(Register) == 4 ? static_cast<Register>(~value) : value; }

    Register value = INITIAL;

private:
    // Eight bytes as a word whose low byte is the first.
    static std::uint64_t little_word(const std::uint8_t* p) {
        std::uint64_t word = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&word, p, 8);
        } else {
            for (int k = 0; k < 8; ++k) word |= std::uint64_t{p[k]} << (8 * k);
        }
        return word;
    }

    static constexpr CrcSlices<Register> SLICES = crc_slices<Register>(POLYNOMIAL);
};

using CrcTable16 = CrcTable<std::uint16_t>;
using CrcTable32 = CrcTable<std::uint32_t>;

}  // namespace coding
