// The four exports of the codec libraries, as both sides see them.
//
// They are plain C functions in the platform's default C calling convention,
// exported under their undecorated names so that the launcher can look them
// up with the narrow names "LZHEncode", "LZHDecode", "ZIPEncode" and
// "ZIPDecode". Wide strings are 16-bit units (wchar_t on Windows).
#pragma once

#include <cstdint>

#include "archive_options.h"

#if defined(_WIN32)
#define ARCHIVE_EXPORT extern "C" __declspec(dllexport)
#else
#define ARCHIVE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// count paths (absolute), the archive to create or null, the options record.
// The result is a report text owned by the library, or null.
using EncodeExport = const char16_t* (*)(std::int32_t count, const char16_t* const* paths, const char16_t* archive_path,
                                         ArchiveOptions* options);
using DecodeExport = const char16_t* (*)(std::int32_t count, const char16_t* const* paths, ArchiveOptions* options);

#define ARCHIVE_ENCODE_SIGNATURE(name)                                                                                 \
    ARCHIVE_EXPORT const char16_t* name(std::int32_t count, const char16_t* const* paths,                              \
                                        const char16_t* archive_path, ArchiveOptions* options)
#define ARCHIVE_DECODE_SIGNATURE(name)                                                                                 \
    ARCHIVE_EXPORT const char16_t* name(std::int32_t count, const char16_t* const* paths, ArchiveOptions* options)

ARCHIVE_ENCODE_SIGNATURE(LZHEncode);
ARCHIVE_DECODE_SIGNATURE(LZHDecode);
ARCHIVE_ENCODE_SIGNATURE(ZIPEncode);
ARCHIVE_DECODE_SIGNATURE(ZIPDecode);
