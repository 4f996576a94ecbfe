// Text half of the support library: conversions between wide strings and
// byte strings (UTF-8, UTF-16 in either order, Windows code pages, the
// runtime library's locale conversion), and small text helpers.
//
// Functions that produce into a destination append to what it holds unless
// the comment says they replace it. The locale and code-page conversions
// take their sources up to the first NUL; the Unicode coders take the whole
// string.
#pragma once

#include <cstdint>

#include "platform.h"
#include "text_types.h"

// Character used by the two name sanitizers; "_" for the whole run.
extern char16_t replacement_char;

bool is_ascii(const WideString& text);
bool is_ascii(const ByteString& bytes);

// 0 none, 2 UTF-16LE (FF FE), 3 UTF-16BE (FE FF), 8 UTF-8 (EF BB BF).
int detect_bom(const ByteString& bytes);

// Replaces a leading separator, the second of two adjacent ones and one
// following a segment made only of dots; returns the count replaced.
int neutralize_leading_separators(WideString& name);
// Replaces control characters, " * : < > ? | and U+007F..U+009F.
int replace_invalid_name_chars(WideString& name);

// Runtime-library conversions (wcstombs/mbstowcs), optionally through a
// private locale object. Return the count appended.
int wide_to_locale_bytes(const WideString& source, ByteString& destination, bool exact,
                         platform::LocaleHandle locale = nullptr);
int locale_bytes_to_wide(const ByteString& source, WideString& destination, bool exact,
                         platform::LocaleHandle locale = nullptr);

// Windows code-page conversions. Return the count appended, 0 on failure.
int wide_to_code_page(const WideString& source, ByteString& destination, int code_page, bool exact, unsigned flags = 0);
int code_page_to_wide(const ByteString& source, WideString& destination, int code_page, bool exact, unsigned flags = 0);
WideString code_page_cstr_to_wide(const char* source, int code_page);

// Unicode byte forms, the system's own coders. wide_to_utf16_bytes with
// with_bom replaces the destination by the mark; the UTF-8 forms return the
// destination's length afterwards, the UTF-16 forms the count produced.
int wide_to_utf16_bytes(const WideString& source, ByteString& destination, bool with_bom, bool big_endian);
int utf16_bytes_to_wide(const ByteString& source, WideString& destination, bool big_endian);
int wide_to_utf8(const WideString& source, ByteString& destination, bool with_bom);
int utf8_to_wide(const ByteString& source, WideString& destination, int bom_mode);

// The standard library's Unicode converters (LZH library, OPT_STD_CONVERTERS).
// Each replaces its destination.
int std_wide_to_utf8(const WideString& source, ByteString& destination, bool with_bom);
int std_utf8_to_wide(const ByteString& source, WideString& destination);
int std_wide_to_utf16_bytes(const WideString& source, ByteString& destination, bool with_bom, bool big_endian);
int std_utf16_bytes_to_wide(const ByteString& source, WideString& destination, bool big_endian);

// Low byte of each unit into a terminated buffer of capacity bytes.
int narrow_low_bytes(const char16_t* source, char* buffer, int capacity);

WideString int_to_wide(std::int32_t value);
WideString hex_list(const ByteString& bytes);              // "01,AB"
WideString escape_non_printable(const ByteString& bytes);  // "A'\x0D'"
char16_t random_name_char();
WideString random_wide_string(int count, bool seed);

// Remainder after key when text starts with it and goes on; else null.
const char16_t* match_prefix(const char16_t* text, const char16_t* key, bool fold);
// Equal with A-Z folded to a-z, nothing else folded.
bool equal_nocase(const char16_t* a, const char16_t* b);
bool is_japanese_locale_name(const char16_t* name);

// UTF-8 to wide and back with the system's own coders, for paths and texts
// that arrive as UTF-8 (the POSIX file system, terminal output).
WideString wide_from_utf8(const ByteString& utf8);
ByteString utf8_from_wide(const WideString& text);
