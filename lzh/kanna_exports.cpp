// The exports of the LZH library kanna.
#include "archive_exports.h"
#include "extract_frame.h"
#include "lzh_extract.h"
#include "output_file.h"

// Extracts every archive of paths into the current directory, one driver
// call per archive; the library shows the result itself.
ARCHIVE_DECODE_SIGNATURE(LZHDecode) {
    return run_extract_job<lzh::OutputFile>(count, paths, options,
                                            [](lzh::OutputFile& output, const WideString& archive_path) {
                                                lzh::decode(output, archive_path);
                                            });
}
