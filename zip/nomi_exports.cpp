// The exports of the ZIP library nomi.
#include "archive_exports.h"
#include "extract_frame.h"
#include "member_output.h"
#include "zip_extract.h"

// Extracts every archive in paths into the current directory.
ARCHIVE_DECODE_SIGNATURE(ZIPDecode) {
    return run_extract_job<MemberOutput>(count, paths, options, decode_archive);
}
