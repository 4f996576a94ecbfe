// The two string kinds of the system: wide strings of 16-bit units for
// paths and user texts, byte strings for names inside archives.
#pragma once

#include <string>

using WideString = std::u16string;
using ByteString = std::string;

// Every buffer that receives a path from the platform holds this many
// 16-bit units, terminator included.
constexpr int PATH_BUFFER_LENGTH = 1024;
