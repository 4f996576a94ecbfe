// The coding core as each library uses it.
//
// The LZH library moves bits most significant first and checks CRC-16; the
// ZIP library (Deflate) moves them least significant first and checks
// CRC-32. A library picks its set once, for example
//     using BitInStream = coding::LzhCoding::BitInStream;
// and the order is fixed at compile time from there on.
#pragma once

#include "bit_in_stream.h"
#include "bit_order.h"
#include "bit_out_stream.h"
#include "bit_pattern_table.h"
#include "blen_table.h"
#include "crc_table.h"
#include "file_dec_out_stream.h"
#include "huff_dec.h"
#include "huff_enc.h"

namespace coding {

template <BitOrder Order, class Crc>
struct CodingSet {
    static constexpr BitOrder ORDER = Order;
    using BitInStream = coding::BitInStream<Order>;
    using BitOutStream = coding::BitOutStream<Order>;
    using BitPatternTable = coding::BitPatternTable<Order>;
    using HuffDec = coding::HuffDec<Order>;
    using HuffEnc = coding::HuffEnc<Order>;
    using CrcTable = Crc;
    using FileDecOutStream = coding::FileDecOutStream<Crc>;
    using WriteBehind = coding::WriteBehind;
};

using LzhCoding = CodingSet<BitOrder::MSB_FIRST, CrcTable16>;
using ZipCoding = CodingSet<BitOrder::LSB_FIRST, CrcTable32>;

}  // namespace coding
