// What an entry becomes when the archive ends inside its data.
//
// The rest of the entry is written as 0xFF bytes, up to its original size,
// so that its CRC check fails and the file keeps the size the header gives.
// The fill stops after TRUNCATED_FILL_LIMIT bytes, though: a few bytes of
// header can claim an original size of 4 GiB, and a broken archive must not
// fill the disk. The entry then fails its check all the same.
#pragma once

#include <cstdint>

#include "lzh_coding.h"

namespace lzh {

constexpr std::int64_t TRUNCATED_FILL_LIMIT = std::int64_t{1} << 16;

void fill_truncated_entry(FileDecOutStream& out);

}  // namespace lzh
