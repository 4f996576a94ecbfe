// The LArc methods -lzs- and -lz5- (see larc_dec.h for the layout).
#include "larc_dec.h"

#include <cstdint>

#include "lzh_dec_window.h"
#include "truncated_fill.h"

namespace lzh {

namespace {

constexpr std::int32_t LZS_RING = 2048;
constexpr std::int32_t LZS_START = LZS_RING - 17;
constexpr int LZS_MIN_MATCH = 2;

constexpr std::int32_t LZ5_RING = 4096;
constexpr std::int32_t LZ5_START = LZ5_RING - 18;
constexpr int LZ5_MIN_MATCH = 3;

// The -lz5- ring before the first byte.
void lay_out_lz5_ring(std::vector<std::uint8_t>& ring) {
    std::size_t at = 0;
    for (int value = 0; value < 256; ++value) {
        for (int k = 0; k < 13; ++k) ring[at++] = static_cast<std::uint8_t>(value);
    }
    for (int value = 0; value < 256; ++value) ring[at++] = static_cast<std::uint8_t>(value);
    for (int value = 255; value >= 0; --value) ring[at++] = static_cast<std::uint8_t>(value);
    for (int k = 0; k < 128; ++k) ring[at++] = 0;
    for (int k = 0; k < 110; ++k) ring[at++] = ' ';
    while (at < ring.size()) ring[at++] = 0;  // the last 18
}

}  // namespace

void decode_lzs(BitInStream& input, FileDecOutStream& out) {
    if (out.count >= out.expected_size) return;  // no data to read
    LzhDecWindow window(LZS_RING, RING_FILL);
    window.history().set_position(LZS_START);
    for (;;) {
        const int flag = input.bit_get();
        if (flag == 1) {
            const int literal = input.n_bit_get(8);
            if (literal < 0) break;
            if (window.emit(out, static_cast<std::uint8_t>(literal))) return;
            continue;
        }
        const int place = flag < 0 ? -1 : input.n_bit_get(11);
        const int length = place < 0 ? -1 : input.n_bit_get(4);
        if (length < 0) break;
        if (window.copy_from(out, place, length + LZS_MIN_MATCH)) return;
    }
    fill_truncated_entry(out);
}

void decode_lz5(BitInStream& input, FileDecOutStream& out) {
    if (out.count >= out.expected_size) return;  // no data to read
    LzhDecWindow window(LZ5_RING, 0);
    lay_out_lz5_ring(window.history().ring());
    window.history().set_position(LZ5_START);
    for (;;) {
        const int flags = input.byte_get();
        if (flags < 0) break;
        for (int k = 0; k < 8; ++k) {
            if ((flags >> k) & 1) {
                const int literal = input.byte_get();
                if (literal < 0) return fill_truncated_entry(out);
                if (window.emit(out, static_cast<std::uint8_t>(literal))) return;
                continue;
            }
            const int low = input.byte_get();
            const int high = low < 0 ? -1 : input.byte_get();
            if (high < 0) return fill_truncated_entry(out);
            const int place = low | ((high & 0xF0) << 4);
            if (window.copy_from(out, place, (high & 0x0F) + LZ5_MIN_MATCH)) return;
        }
    }
    fill_truncated_entry(out);
}

}  // namespace lzh
