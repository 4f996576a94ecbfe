// The data descriptor: CRC-32 and sizes of a member written after its
// data, by writers that learn them only at the end (flag bit 3). The
// local header then holds zeros, and the central record the true values.
//
//   +0   4  signature 50 4B 07 08   (optional: older writers leave it out)
//   +0/4 4  CRC-32
//   then    compressed size, uncompressed size: 4 bytes each, or 8 each
//           when the member uses ZIP64
//
// Nothing in the bytes says which of the four layouts they hold (a CRC may
// even equal the signature), so the central record decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zip_central_dir.h"

enum : std::uint32_t { ZIP_DESCRIPTOR_SIGNATURE = 0x08074B50 };  // 50 4B 07 08

// The longest layout: bytes to hand to data_descriptor_read (fewer where
// the archive ends first).
constexpr std::size_t ZIP_DESCRIPTOR_MAX_LENGTH = 24;

struct ZipDataDescriptor {
    std::uint32_t crc = 0;
    std::uint64_t compressed_size = 0;
    std::uint64_t uncompressed_size = 0;
    std::size_t length = 0;  // bytes it takes: 12, 16, 20 or 24
};

// The descriptor at the start of bytes (the bytes right after a member's
// data). Of the layouts that fit, the first that agrees with the central
// record is taken, in the order: with signature, without; 64-bit sizes
// first when zip64 (the local header had a ZIP64 block), else 32-bit
// first. When none agrees, the layout the bytes most likely hold (with
// signature when they begin with it, sizes as zip64 says) is returned for
// the caller's comparison to report. Throws "data_descriptor_read: data
// descriptor is cut short." when even that layout does not fit.
ZipDataDescriptor data_descriptor_read(std::string_view bytes, const ZipCentralRecord& expected, bool zip64);

// Whether a descriptor and the central record agree on CRC and sizes.
bool data_descriptor_agrees(const ZipDataDescriptor& descriptor, const ZipCentralRecord& record);
