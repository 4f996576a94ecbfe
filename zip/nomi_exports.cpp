// The exports of the ZIP library nomi.
#include "archive_exports.h"
#include "archive_files.h"
#include "create_frame.h"
#include "extract_frame.h"
#include "zip_create.h"
#include "zip_extract.h"

// Extracts every archive in paths into the current directory.
ARCHIVE_DECODE_SIGNATURE(ZIPDecode) { return run_extract_job<StagedFile>(count, paths, options, decode_archive); }

// Writes one archive of the files and directories in paths: archive_path,
// or when that is null or empty a name derived from the first path with
// ".zip" appended.
ARCHIVE_ENCODE_SIGNATURE(ZIPEncode) {
    return run_create_job<ZipEntry, InputFile>(
        count, paths, archive_path, options, u".zip",
        [](InputFile& input, SourceList<ZipEntry>& list, const WideString& path) { encode_archive(input, list, path); });
}
