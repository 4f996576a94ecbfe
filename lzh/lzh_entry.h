// LZHEntry: one member of an LZH archive to be written, as the source-list
// walk records it and the creation driver completes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "date_record.h"
#include "lzh_directory_node.h"
#include "text_types.h"

namespace lzh {

// Sizes of a record that is not a file.
constexpr std::int64_t ENTRY_SIZE_MISSING = -1;    // the path could not be examined
constexpr std::int64_t ENTRY_SIZE_DIRECTORY = -2;  // a directory

// The size fields of a header hold 32 bits: a file of this size or more
// cannot be stored.
constexpr std::int64_t ENTRY_SIZE_LIMIT = std::int64_t{1} << 32;

constexpr std::uint8_t OS_ID_MSDOS = 0x4D;  // 'M'

struct LZHEntry {
    LZHEntry() = default;
    // From a path relative to the current directory: its file status gives
    // the sizes and the local modification time; the path is split into the
    // directory part and the name. A path that cannot be examined keeps the
    // defaults (both sizes ENTRY_SIZE_MISSING).
    explicit LZHEntry(const WideString& relative_path);

    bool is_missing() const { return original_size == ENTRY_SIZE_MISSING; }
    bool is_directory() const { return original_size == ENTRY_SIZE_DIRECTORY; }

    std::string method = "-lh0-";
    // Sizes in bytes, 64-bit so that the file system's size is kept as it
    // is (see ENTRY_SIZE_LIMIT).
    std::int64_t compressed_size = ENTRY_SIZE_MISSING;
    std::int64_t original_size = ENTRY_SIZE_MISSING;
    DateRecord time;  // local modification time
    std::uint16_t data_crc = 0;
    // The file name (after the last "/"); empty for a directory's own record.
    WideString name;
    // Relative directory with "/" separators and a trailing "/", or empty.
    WideString directory;
    // Shared by the entries of one directory; set whenever directory is not
    // empty.
    std::shared_ptr<DirectoryNode> parent;
    // When not empty, the creation driver makes it current before it opens
    // the file.
    WideString change_directory;
    std::uint8_t os_id = OS_ID_MSDOS;
};

}  // namespace lzh
