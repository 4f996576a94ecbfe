// Builders for the byte and wide strings of table-driven tests: cases are
// written as lists of byte or unit values, so a table reads like a hex dump.
#pragma once

#include <initializer_list>

#include "text_types.h"

inline ByteString bytes_of(std::initializer_list<unsigned> values) {
    ByteString bytes;
    for (unsigned value : values) bytes.push_back(static_cast<char>(static_cast<unsigned char>(value)));
    return bytes;
}

inline WideString units_of(std::initializer_list<unsigned> values) {
    WideString text;
    for (unsigned value : values) text.push_back(static_cast<char16_t>(value));
    return text;
}
