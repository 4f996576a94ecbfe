// The ZIP creation driver: writes one archive from the job's source list.
//
// The archive is written front to back in one pass and nothing is patched
// afterwards: for every entry in list order its local header and data,
// then the central directory (one record per stored entry, same order,
// kept in memory until then) and the end record (zip_head_enc.h). So every
// file is compressed whole in memory before its local header is written,
// and kept as it is (method 0) when Deflate does not make it smaller; a
// directory is a header of its own with no data.
//
// What the headers can describe bounds what is stored: sizes are signed
// 32-bit values, so a source file of 2 GiB or more is left out with an
// error line, and so is an entry that would carry the archive past 4 GiB,
// where the 32-bit offsets end (there is no ZIP64 here). Either way the
// archive stays whole and valid with the entries that fit.
//
// Problems with one source (it cannot be opened or read, it is too large,
// it changed while it was read) become lines of the job's error text and
// leave the entry out. A failed write on the archive ends the archive with
// an error line naming it. Texts thrown by the coders end the job (the
// archive is then left without its central directory).
#pragma once

#include <cstdint>

#include "archive_files.h"
#include "source_list.h"
#include "text_types.h"
#include "zip_entry.h"

// How the walk of the source list sees a ZipEntry: the record keeps an
// empty path when its status could not be read, and a directory's path
// ends in "/". (The sizes say the same for small files, but they are cut
// to 32 bits and so cannot tell a file of 4 GiB less 2 bytes from a
// directory.)
template <>
struct SourceEntryTraits<ZipEntry> {
    static bool is_missing(const ZipEntry& entry) { return entry.path.empty(); }
    static bool is_directory(const ZipEntry& entry) { return !entry.path.empty() && entry.path.back() == u'/'; }
    static WideString& change_directory(ZipEntry& entry) { return entry.directory; }
};

// The bounds of what an archive can describe.
struct ZipCreateLimits {
    // Sizes are signed 32-bit: the longest file that can be stored.
    std::int64_t largest_source = 0x7FFFFFFF;
    // Offsets are 32-bit: every byte of the archive lies below 4 GiB.
    std::int64_t largest_archive = 0xFFFFFFFF;
};

// Writes the archive at archive_path (created or truncated) from list.
// input: a new, not yet opened input object. An empty list writes nothing,
// not even an empty archive. Throws "encode: file is not open." when the
// archive cannot be opened, before anything is written.
void encode_archive(InputFile& input, SourceList<ZipEntry>& list, const WideString& archive_path);

// The same within other bounds (the tests reach them with small files).
void encode_archive_within(const ZipCreateLimits& limits, InputFile& input, SourceList<ZipEntry>& list,
                           const WideString& archive_path);
