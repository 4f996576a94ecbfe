// The ZIP creation driver: writes one archive from the job's source list.
//
// For every entry in list order its local header and data, then the
// central directory (one record per stored entry, same order, kept in
// memory until then) and the end record (zip_head_enc.h). A file's local
// header carries the sizes and CRC-32 of its data, which are known only
// after the compression: the header goes out first, the Deflate data
// follows as the encoder makes it, and the header is then completed in
// place, so memory does not grow with the size of a file. A file that
// Deflate does not make smaller is read again and stored as it is (method
// 0) over its compressed form; a directory is a header of its own with no
// data.
//
// Sizes, offsets and the record count that do not fit the 32- and 16-bit
// header fields go to ZIP64 records (zip_head_enc.h), only where they are
// needed, so an archive whose values fit has none.
//
// Problems with one source (it cannot be opened or read, memory runs out,
// it changed between the two readings of a stored file) become lines of
// the job's error text and leave the entry out: what went out of it is
// taken back. A failed write on the archive ends the archive with
// an error line naming it. Texts thrown by the coders end the job (the
// archive is then left without its central directory).
#pragma once

#include <cstdint>

#include "archive_files.h"
#include "source_list.h"
#include "text_types.h"
#include "zip_compress_ahead.h"
#include "zip_entry.h"

// How the walk of the source list sees a ZipEntry: the record keeps an
// empty path when its status could not be read, and a directory's path
// ends in "/".
template <>
struct SourceEntryTraits<ZipEntry> {
    static bool is_missing(const ZipEntry& entry) { return entry.path.empty(); }
    static bool is_directory(const ZipEntry& entry) { return !entry.path.empty() && entry.path.back() == u'/'; }
    static WideString& change_directory(ZipEntry& entry) { return entry.directory; }
};

// Writes the archive at archive_path (created or truncated) from list.
// input: a new, not yet opened input object. An empty list writes nothing,
// not even an empty archive. Throws "encode: file is not open." when the
// archive cannot be opened, before anything is written. ahead_limits: how
// far files are compressed ahead on a second thread (zip_compress_ahead.h);
// none with limits of 0. The archive is the same whatever they are.
void encode_archive(InputFile& input, SourceList<ZipEntry>& list, const WideString& archive_path,
                    const AheadLimits& ahead_limits = {});
