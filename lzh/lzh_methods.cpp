// The method table (see lzh_methods.h).
#include "lzh_methods.h"

#include <array>

#include "copy_bytes.h"
#include "larc_dec.h"
#include "lh1_dec.h"
#include "lh5_dec.h"
#include "pm1_dec.h"
#include "pm2_dec.h"
#include "truncated_fill.h"

namespace lzh {

namespace {

// LHA's methods, then LArc's, then PMarc's.
constexpr std::array METHODS = {
    LzhMethod{"-lh0-", decode_stored}, LzhMethod{"-lh1-", decode_lh1}, LzhMethod{"-lh4-", decode_lh4},
    LzhMethod{"-lh5-", decode_lh5},    LzhMethod{"-lh6-", decode_lh6}, LzhMethod{"-lh7-", decode_lh7},
    LzhMethod{"-lz4-", decode_stored}, LzhMethod{"-lzs-", decode_lzs}, LzhMethod{"-lz5-", decode_lz5},
    LzhMethod{"-pm0-", decode_stored}, LzhMethod{"-pm1-", decode_pm1}, LzhMethod{"-pm2-", decode_pm2},
};

}  // namespace

std::span<const LzhMethod> lzh_methods() { return METHODS; }

const LzhMethod* find_lzh_method(std::string_view id) {
    for (const LzhMethod& method : METHODS) {
        if (method.id == id) return &method;
    }
    return nullptr;
}

void decode_stored(BitInStream& input, FileDecOutStream& out) {
    const std::int64_t left = out.expected_size - out.count;
    if (left <= 0) return;
    if (coding::copy_bytes(input, out, left) < left && !out.write_failed()) fill_truncated_entry(out);
}

}  // namespace lzh
