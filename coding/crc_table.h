// CrcTable16, CrcTable32: table-driven CRC engines, one byte per step.
//
// Both are reflected CRCs: the table is built from the polynomial in
// reflected form and bytes enter at the low end of the register.
//   CrcTable16: polynomial 0xA001, initial 0, no final step (CRC-16/ARC).
//     LZH uses it over entry data and over headers that carry a header CRC.
//   CrcTable32: polynomial 0xEDB88320, initial 0xFFFFFFFF; the CRC is the
//     complement of the register (CRC-32 as ZIP uses it).
// The register is read directly by the users.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace coding {

inline constexpr std::uint16_t CRC16_POLYNOMIAL = 0xA001;
inline constexpr std::uint16_t CRC16_INITIAL = 0;
inline constexpr std::uint32_t CRC32_POLYNOMIAL = 0xEDB88320;
inline constexpr std::uint32_t CRC32_INITIAL = 0xFFFFFFFF;

template <class Register>
class CrcTable {
    static_assert(std::is_same_v<Register, std::uint16_t> ||
                  std::is_same_v<Register, std::uint32_t>);

public:
    // The parameters of the register width's archive CRC (table above).
    CrcTable()
        : CrcTable(sizeof(Register) == 2 ? Register(CRC16_POLYNOMIAL) : Register(CRC32_POLYNOMIAL),
                   sizeof(Register) == 2 ? Register(CRC16_INITIAL) : Register(CRC32_INITIAL)) {}
    CrcTable(Register polynomial, Register initial);

    // Folds one byte into the register; returns the new register value.
    Register update(std::uint8_t byte) {
        value = static_cast<Register>((value >> 8) ^ table_[(byte ^ value) & 0xFF]);
        return value;
    }
    // Folds size bytes, in order.
    Register update(const std::uint8_t* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) update(data[i]);
        return value;
    }

    // The register as archives store the check value: CRC-32 complemented,
    // CRC-16 as it is.
    Register stored_value() const {
        return sizeof(Register) == 4 ? static_cast<Register>(~value) : value;
    }

    Register value;

private:
    std::array<Register, 256> table_;
};

extern template class CrcTable<std::uint16_t>;
extern template class CrcTable<std::uint32_t>;

using CrcTable16 = CrcTable<std::uint16_t>;
using CrcTable32 = CrcTable<std::uint32_t>;

}  // namespace coding
