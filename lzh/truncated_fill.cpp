// Filling the rest of a truncated entry (see truncated_fill.h).
#include "truncated_fill.h"

namespace lzh {

void fill_truncated_entry(FileDecOutStream& out) {
    for (std::int64_t filled = 0; filled < TRUNCATED_FILL_LIMIT && out.count < out.expected_size; ++filled) {
        if (out.put(0xFF) || out.write_failed()) return;
    }
}

}  // namespace lzh
