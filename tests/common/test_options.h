// The options record as the launcher makes it, with the given bits and
// code page.
#pragma once

#include <cstdint>

#include "archive_options.h"

namespace test_common {

inline ArchiveOptions make_options(std::uint32_t flags = 0, std::int32_t code_page = 0) {
    ArchiveOptions options;
    init_archive_options(options);
    options.flags = flags;
    options.code_page = code_page;
    return options;
}

}  // namespace test_common
