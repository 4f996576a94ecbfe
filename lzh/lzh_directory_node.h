// DirectoryNode: what the LZH entries of one directory share when an archive
// is written. The source-list walk creates one per directory; the header
// writer converts the directory's path once, for the first entry written
// from it, and every later entry of the directory reuses the stored forms.
#pragma once

#include <cstdint>

#include "text_types.h"

namespace lzh {

struct DirectoryNode {
    explicit DirectoryNode(WideString path) : path(std::move(path)) {}

    // Relative path with "/" separators and a trailing "/".
    WideString path;
    // The stored form for the 0x02 record; set with the first header.
    ByteString narrow_form;
    // The UTF-16LE form for the 0x45 record, when the names are stored in
    // Unicode; empty otherwise.
    ByteString unicode_form;
    // The code page the conversion used, 0 when none.
    std::int32_t code_page = 0;
    // Whether narrow_form and unicode_form have been made.
    bool converted = false;
};

}  // namespace lzh
