// The ZIP extraction driver: extracts one archive into the current
// directory, which is the job's destination.
//
// The archive is walked front to back through its local headers; the first
// record that is not a local header (the central directory, the end record)
// ends the walk, and so does an entry whose method is neither stored nor
// Deflate. Per entry: its directories are made, an existing file is only
// overwritten after the user agreed, the data is decoded into the file, the
// CRC-32 is checked and the modification time set. Problems with one entry
// become lines of the job's error text; damaged data is a thrown text that
// ends the archive (the job frame reports it with the archive's path).
#pragma once

#include "member_output.h"
#include "text_types.h"

// output: a new, not yet opened output object, opened and closed per entry.
// Throws "decode: file is not found." when the archive cannot be opened.
void decode_archive(MemberOutput& output, const WideString& archive_path);
