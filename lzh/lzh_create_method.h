// The compression method of new LZH entries. -lh5- is the default and keeps
// its greedy encoder (lh5_enc.h); -lh6- and -lh7- are the same block format
// with a 32 KiB and a 64 KiB dictionary, written on request with lazy
// matching (lh7_enc.h).
#pragma once

#include <cstdint>

#include "archive_options.h"
#include "lh5_block_enc.h"

namespace lzh {

struct LzhCreateMethod {
    const char* id;       // "-lh5-", "-lh6-", "-lh7-"
    int dictionary_bits;  // 13, 15, 16
};

inline constexpr LzhCreateMethod CREATE_LH5 = {"-lh5-", LH5BlockEnc::LH5_DICTIONARY_BITS};
inline constexpr LzhCreateMethod CREATE_LH6 = {"-lh6-", LH5BlockEnc::LH6_DICTIONARY_BITS};
inline constexpr LzhCreateMethod CREATE_LH7 = {"-lh7-", LH5BlockEnc::LH7_DICTIONARY_BITS};

// The method the option bits ask for; -lh7- when both larger ones are set.
inline LzhCreateMethod lzh_create_method_of(std::uint32_t flags) {
    if ((flags & OPT_LZH_LH7) != 0) return CREATE_LH7;
    if ((flags & OPT_LZH_LH6) != 0) return CREATE_LH6;
    return CREATE_LH5;
}

}  // namespace lzh
