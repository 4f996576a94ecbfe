#include "crc_table.h"

namespace coding {

template <class Register>
CrcTable<Register>::CrcTable(Register polynomial, Register initial) : value(initial) {
    // Entry i is the register after shifting the byte i through it alone:
    // eight steps, each a logical shift right by one, with the polynomial
    // folded in whenever a 1 bit falls out at the low end.
    for (unsigned i = 0; i < 256; ++i) {
        Register b = static_cast<Register>(i);
        for (int step = 0; step < 8; ++step) {
            b = (b & 1) ? static_cast<Register>(polynomial ^ (b >> 1))
                        : static_cast<Register>(b >> 1);
        }
        table_[i] = b;
    }
}

template class CrcTable<std::uint16_t>;
template class CrcTable<std::uint32_t>;

}  // namespace coding
