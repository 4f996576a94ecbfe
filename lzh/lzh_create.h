// The LZH creation driver: writes a whole archive in one pass over the
// source list.
//
// For every record, in list order: a file is compressed with -lh5- and
// stored compressed when that is smaller, else as it is (-lh0-). Its
// level-2 header carries the sizes and the CRC-16, which are known only
// after the compression: the header goes out first, the data follows as
// the encoder makes it, and the header is then completed in place, so
// memory does not grow with the size of a file. With the empty-directories
// option a directory record becomes a -lhd- entry with no data. The
// archive ends with a single zero byte.
//
// A header never disagrees with the data after it. A stored file is read
// a second time and copied over its compressed form; when the copy is not
// the bytes that were compressed (the file changed in between) the record
// is taken back and left out with an error line. Sizes come from what was
// read, not from the listing.
//
// Problems with one source become lines of the job's error_text: the name
// followed by " >> open 失敗。" (it cannot be opened), " >> read 失敗。" (a
// read error), " >> 読み込み中に変化、スキップ！" (it changed between the two
// reads), " >> 大き過ぎ、スキップ！" (4 GiB or more, beyond the 32-bit size
// fields, or more than memory holds), " >>スキップ！" (the archive itself);
// nothing is left of it in the archive. A failed write on the archive (a full disk)
// ends the archive at once with the line "エラー: <archive>" and
// "  encode: file write failed."; the file is left as far as it was written.
#pragma once

#include <cstdio>

#include "archive_files.h"
#include "lzh_entry.h"
#include "lzh_head_enc.h"
#include "source_list.h"
#include "text_types.h"

namespace lzh {

// The header options the job's settings ask for; the report lines go to
// the job's report while it writes one.
HeadEncOptions header_options_of_job();

// Writes the archive of list at archive_path, created or truncated. Does
// nothing for an empty list. The current directory follows the records'
// change directories and is not restored. Throws "encode: file is not
// open." when the archive cannot be opened, and the range errors of the
// header writer and the encoder.
void encode(InputFile& input, SourceList<LZHEntry>& list, const WideString& archive_path);

// The same into an archive stream the caller opened in binary mode and
// closes; archive_path names it in the error line. False after a write
// error (the line has been added).
bool write_archive(InputFile& input, SourceList<LZHEntry>& list, std::FILE* archive, const WideString& archive_path);

}  // namespace lzh
