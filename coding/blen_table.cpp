#include "blen_table.h"

#include <algorithm>

namespace coding {

BLenTable::BLenTable(std::span<const int> source, int limit) {
    if (limit < 0 || limit > MAX_CODE_LENGTH) throw "BLenTable: out of range.";
    lengths.reserve(source.size());
    for (const int length : source) {
        if (length < 0 || length > limit) throw "BLenTable: out of range.";
        lengths.push_back(static_cast<std::int8_t>(length));
        max_length = std::max(max_length, static_cast<std::int8_t>(length));
        if (length > 0) ++used;
    }
}

}  // namespace coding
