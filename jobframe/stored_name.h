// Stored-name conversion: the bytes an archive stores for an entry name and
// the wide name the file system gets, in both directions. Every header
// reader and writer of both libraries converts its names here.
//
// Decoding goes in stages: the form is chosen (the archive's marks, the
// options, a byte-order mark), the bytes are converted, 0xFF separators are
// split off, the name is made safe and the report gets its lines.
//
// The options are read afresh from the job's record at every call; the
// derived state (report_on, separator_byte, name_length_limit, the locale,
// cp_header, ansi_code_page) comes from job_state(). With reporting on,
// each call appends the stored bytes and the chosen form to report_text.
#pragma once

#include <cstdint>

#include "text_types.h"

// Hint bits from the readers to decode_stored_name.
enum : std::uint32_t {
    HINT_UTF8 = 0x8,            // the archive marks the name as UTF-8 (ZIP bit 11)
    HINT_FF_SEPARATOR = 0x100,  // separators are 0xFF (U+FFFF in UTF-16): LZH directories
    HINT_UTF16LE = 0x200,       // the bytes are UTF-16LE (LZH Unicode name records)
    HINT_CODE_PAGE = 0x400,     // the bytes are in the archive's code page (LZH code-page record)
    // An LZH directory record: 0xFF (U+FFFF with HINT_UTF16LE) separates its
    // components whatever the code page; without /FF they become "/" before
    // the bytes are converted.
    HINT_DIRECTORY_RECORD = 0x1000,
    // Unmarked bytes that are taken as UTF-8 when they are well-formed
    // UTF-8 beyond ASCII and no code page was asked for.
    HINT_UTF8_LIKELY = 0x2000,
};

// Mode bits from the writers to encode_stored_name.
enum : std::uint32_t {
    ENCODE_DIRECTORY = 0x100,   // a directory path: separators become 0xFF where those apply
    ENCODE_NO_UNICODE = 0x800,  // the field holds no Unicode form
    // The format keeps UTF-16 names in records of their own (LZH 0x44/0x45):
    // a UTF-16 name (OPT_UTF16) is encoded for those records, UTF-16LE
    // without a mark, and ASCII names stay one byte per character, as with
    // OPT_UNICODE_HEADER.
    ENCODE_UNICODE_RECORD = 0x1000,
    ENCODE_COMPONENT = 0x10000,  // internal: one component of a split directory path
};

// Stored bytes to a wide name that is safe to create below the current
// directory: never empty, at most name_length_limit units, no absolute path,
// no "." or ".." component, no character the file systems reject. The name
// is replaced. code_page: the archive's code page, used with HINT_CODE_PAGE.
void decode_stored_name(ByteString bytes, WideString& name, std::uint32_t hint, std::int32_t code_page = 0);

// The forms encode_stored_name chose (EncodedName::flags).
enum : std::uint32_t {
    NAME_ASCII = 0x1,
    NAME_UTF8 = 0x8,
    NAME_UTF16 = 0x10,
    NAME_BOM = 0x40,
    NAME_UNICODE_HEADER = 0x200,
    NAME_CODEPAGE_HEADER = 0x400,
};

// The form encode_stored_name chose: NAME_* bits, and with
// NAME_CODEPAGE_HEADER the code page the LZH code-page record names.
struct EncodedName {
    std::uint32_t flags = 0;
    std::int32_t code_page = 0;
};

// A wide name to stored bytes, appended to bytes.
EncodedName encode_stored_name(const WideString& name, ByteString& bytes, std::uint32_t mode);

// An ASCII-safe narrow name made from a UTF-16LE stored name (with U+FFFF as
// directory separator), for the narrow name field beside a Unicode header.
ByteString ascii_fallback_name(const ByteString& bytes);
