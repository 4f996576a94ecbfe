// ExtractMember: one archive member as a library's member source hands it to
// the extraction driver (extract_driver.h): its stored names, method, size,
// check value and time, in the terms both formats share.
#pragma once

#include <cstdint>
#include <vector>

#include "date_record.h"
#include "text_types.h"

// One stored name or directory of a member, with what decides how its bytes
// are decoded (stored_name.h) and the text the report puts in front of the
// lines the decoding writes. A member's parts are decoded in order; a later
// part of the same kind replaces the earlier one.
struct NamePart {
    ByteString bytes;
    std::uint32_t hint = 0;      // HINT_* bits of stored_name.h
    std::int32_t code_page = 0;  // the archive's code page, with HINT_CODE_PAGE
    bool directory = false;      // the directory part rather than the name
    WideString label;            // report text before the part's lines
};

template <class MethodId>
struct ExtractMember {
    std::vector<NamePart> name_parts;
    MethodId method{};
    // A member that only stands for a directory: its directories are made,
    // its data (if any) is skipped.
    bool directory_entry = false;
    // A symbolic link (an LZH "name|target" entry, a ZIP entry marked as a
    // Unix link): never made as a link. The driver writes a regular file
    // at the name holding link_target, the target's text as stored, and
    // says so in an error line.
    bool link = false;
    ByteString link_target;
    // The target is the member's data (ZIP), not link_target: the data is
    // decoded into the file as usual.
    bool link_target_in_data = false;
    // Bytes the decoder is to produce, and the check value of the library's
    // CRC, as the archive stores it.
    std::int64_t size = 0;
    std::uint32_t crc = 0;
    // The modification time: exact seconds since 1970 (UTC) where the
    // archive stores them, -1 otherwise; then local_time, local wall-clock
    // time.
    std::int64_t exact_time = -1;
    DateRecord local_time;
    // Why the member is not extracted, when the source refuses it: the
    // text of its error line after the path.
    WideString refusal;
};
