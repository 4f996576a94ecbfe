// The coding core as the LZH library uses it: bits travel most significant
// first, entry data is checked with CRC-16.
#pragma once

#include "coding_set.h"

namespace lzh {

using BitInStream = coding::LzhCoding::BitInStream;
using BitOutStream = coding::LzhCoding::BitOutStream;
using HuffDec = coding::LzhCoding::HuffDec;
using HuffEnc = coding::LzhCoding::HuffEnc;
using FileDecOutStream = coding::LzhCoding::FileDecOutStream;
using coding::BLenTable;
using coding::CrcTable16;
using coding::SingleCode;

}  // namespace lzh
