// The options record that the launcher fills and every codec export reads.
//
// Its layout is part of the contract between three separately built
// binaries, so field order and widths are fixed and checked below for both
// the 32-bit and the 64-bit builds.
#pragma once

#include <cstddef>
#include <cstdint>

// Option bits of ArchiveOptions::flags. The values are stored in nothing
// but are shared by the launcher and both libraries, so they never change.
enum : std::uint32_t {
    OPT_UTF8 = 0x8,                        // stored names in UTF-8
    OPT_UTF16 = 0x10,                      // stored names in UTF-16
    OPT_BOM = 0x40,                        // byte-order mark with Unicode names
    OPT_BIG_ENDIAN = 0x80,                 // UTF-16 names big-endian
    OPT_FF_SEPARATOR = 0x100,              // byte 0xFF in a name separates directories
    OPT_LOCALE_OBJECT = 0x200,             // private locale object instead of the process locale
    OPT_STD_CONVERTERS = 0x800,            // LZH: standard Unicode converters
    OPT_UNICODE_HEADER = 0x1000,           // LZH: write and prefer 0x44/0x45 name records
    OPT_CODEPAGE_HEADER = 0x2000,          // LZH: write the 0x46 code-page record
    OPT_EMPTY_DIRS = 0x4000,               // LZH creation: store directories as -lhd-
    OPT_CODEPAGE_SET = 0x8000,             // code_page was given explicitly
    OPT_REPORT = 0x40000,                  // detailed report and report file
    OPT_CODEPAGE_HEADER_SHORT = 0x200000,  // LZH: 0x46 record carries 2 bytes
    // Compression on request; without these bits both libraries write the
    // bytes they always wrote. Where two of a kind are set, the stronger wins.
    OPT_DEFLATE_LAZY = 0x1000000,  // ZIP creation: Deflate with lazy matching
    OPT_DEFLATE_BEST = 0x2000000,  // ZIP creation: Deflate with near-optimal parsing
    OPT_LZH_LH6 = 0x4000000,       // LZH creation: -lh6- (32 KiB window), lazy matching
    OPT_LZH_LH7 = 0x8000000,       // LZH creation: -lh7- (64 KiB window), lazy matching
};

constexpr int LOCALE_NAME_LENGTH = 128;

struct ArchiveOptions {
    std::uint32_t flags;
    std::int32_t code_page;
    char16_t locale_name[LOCALE_NAME_LENGTH];
    char16_t* locale_name_ref;
    std::uint16_t separator_char;
    std::uint32_t max_name_length;
    std::int32_t dialog_limit;
};

static_assert(offsetof(ArchiveOptions, flags) == 0);
static_assert(offsetof(ArchiveOptions, code_page) == 4);
static_assert(offsetof(ArchiveOptions, locale_name) == 8);
static_assert(offsetof(ArchiveOptions, locale_name_ref) == 264);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(ArchiveOptions, separator_char) == 268);
static_assert(offsetof(ArchiveOptions, max_name_length) == 272);
static_assert(offsetof(ArchiveOptions, dialog_limit) == 276);
static_assert(sizeof(ArchiveOptions) == 280);
#else
static_assert(offsetof(ArchiveOptions, separator_char) == 272);
static_assert(offsetof(ArchiveOptions, max_name_length) == 276);
static_assert(offsetof(ArchiveOptions, dialog_limit) == 280);
static_assert(sizeof(ArchiveOptions) == 288);
#endif

// Fills the defaults: no flags, no code page, no locale name, backslash as
// the 0xFF replacement, 1024-character names, 1000-character dialog limit.
ArchiveOptions& init_archive_options(ArchiveOptions& options);
