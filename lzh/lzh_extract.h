// The LZH extraction driver: extracts one archive into the current
// directory, entry by entry, in archive order.
#pragma once

#include "output_file.h"
#include "text_types.h"

namespace lzh {

// Extracts the archive at archive_path. Each entry's directories are
// created, an existing file is overwritten only when the user agrees, the
// data is decoded through output (opened and closed per entry) and checked
// against its CRC-16, and the file gets the stored time. Problems with one
// entry become lines of the job's error_text; the user's Cancel ends the
// archive. A missing archive and broken headers or compressed data are
// thrown as text ("decode: file is not found." and the texts of the header
// reader and the decoder).
void decode(OutputFile& output, const WideString& archive_path);

}  // namespace lzh
