// Shared pieces of the coding tests. Input files: bytes written to a file in the test's
// working directory and opened for reading, named after the running test so
// that test processes running side by side never share one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "bit_order.h"
#include "test_input_file.h"

// Typed tests run once per bit order; TypeParam::value is the order.
using BothOrders = ::testing::Types<std::integral_constant<coding::BitOrder, coding::BitOrder::MSB_FIRST>,
                                    std::integral_constant<coding::BitOrder, coding::BitOrder::LSB_FIRST>>;

class InputFile : public test_common::TestInputFile {
public:
    explicit InputFile(const std::vector<std::uint8_t>& bytes, const char* tag = "in")
        : TestInputFile(bytes, "coding", tag) {}
};

// Reads a whole file back (for output tests).
inline std::vector<std::uint8_t> read_whole_file(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return bytes;
    for (int c; (c = std::fgetc(in)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(in);
    return bytes;
}

// The thrown text of a call, or "" when it does not throw a text.
template <class F>
std::string thrown_text(F&& call) {
    try {
        call();
    } catch (const char* text) {
        return text;
    }
    return "";
}
