// Name checks and fixes for names read from archives whose writers did not
// say which form the name bytes are in.
#pragma once

#include "text_types.h"

// Whether bytes are well-formed UTF-8 and hold at least one character
// beyond ASCII. A name without the archive's UTF-8 mark that passes is
// almost surely UTF-8: text in a legacy multi-byte code page (Shift-JIS,
// GBK, EUC) is valid UTF-8 only by rare accident, while plain ASCII reads
// the same either way. Well-formed means the shortest form of every
// character, no surrogates (U+D800 to U+DFFF) and nothing above U+10FFFF.
bool is_utf8_beyond_ascii(const ByteString& bytes);

// Whether bytes are a usable UTF-16LE name: whole 16-bit units, at least
// one, no zero unit, and every surrogate in a high-low pair. A record that
// fails is damaged or written by a tool that meant something else by it.
bool is_utf16le_name(const ByteString& bytes);

// Composes every kana followed by a combining voiced sound mark (U+3099)
// or semi-voiced sound mark (U+309A) into the one precomposed kana, as
// Unicode normalization form C does (カ U+30AB + U+3099 becomes ガ
// U+30AC). Systems that store names decomposed (macOS) write ガ as two
// characters; without this an extracted file would not match the name the
// user types. Like form C, the spacing marks U+309B and U+309C and the
// half-width marks U+FF9E and U+FF9F are left as they are, and a mark after
// a character that has no composed form stays a mark.
WideString compose_kana_marks(const WideString& text);
