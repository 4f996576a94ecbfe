// copy_bytes: the data of a stored member, taken from the input at its next
// byte boundary and handed to the entry's output stream in large runs (one
// write and one CRC pass each) rather than a byte at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bit_in_stream.h"

namespace coding {

// Copies up to count bytes and returns how many the input had: fewer only
// when its data ends. A failed write (a full disk) stops the copy after its
// run, since the rest could not be kept anyway.
template <BitOrder Order, class Out>
std::int64_t copy_bytes(BitInStream<Order>& input, Out& out, std::int64_t count) {
    constexpr std::int64_t RUN = std::int64_t{1} << 16;
    std::vector<std::uint8_t> run(static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, RUN)));
    std::int64_t copied = 0;
    while (copied < count && !out.write_failed()) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(RUN, count - copied));
        const std::size_t got = input.bytes_get(run.data(), wanted);
        out.put(run.data(), got);
        copied += static_cast<std::int64_t>(got);
        if (got < wanted) break;
    }
    return copied;
}

}  // namespace coding
