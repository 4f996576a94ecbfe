// The exports of the LZH library kanna.
#include "archive_exports.h"
#include "archive_files.h"
#include "create_frame.h"
#include "extract_frame.h"
#include "lzh_create.h"
#include "lzh_extract.h"

// Extracts every archive of paths into the current directory, one driver
// call per archive; the library shows the result itself.
ARCHIVE_DECODE_SIGNATURE(LZHDecode) {
    return run_extract_job<StagedFile>(count, paths, options, [](StagedFile& output, const WideString& archive_path) {
        lzh::decode(output, archive_path);
    });
}

// Stores the dropped files and directories in one LZH archive: the given
// one, or one named after the first path with ".lzh" appended.
ARCHIVE_ENCODE_SIGNATURE(LZHEncode) {
    return run_create_job<lzh::LZHEntry, InputFile>(
        count, paths, archive_path, options, u".lzh",
        [](InputFile& input, SourceList<lzh::LZHEntry>& list, const WideString& archive) {
            lzh::encode(input, list, archive);
        });
}
