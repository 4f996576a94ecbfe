// Paths against the file system: absolute paths, the current directory, the
// kind of a path, directory creation and report files.
#pragma once

#include "text_types.h"

enum PathKind { PATH_MISSING = 0, PATH_FILE = 1, PATH_DIRECTORY = 2, PATH_OTHER = 4 };

WideString full_path_of(const WideString& path);
// path receives the absolute directory part, name the last segment; true
// when there was no name part.
bool full_path_and_name(WideString& path, WideString& name);
// destination is replaced by the current directory; the result is its
// length, 0 (and an empty destination) when it cannot be read.
int current_directory(WideString& destination);
int path_kind_of(const char16_t* path);
// 0 missing, 1 file or other, -2 directory, -1 status unknown.
int path_exists(const char16_t* path);
// Creates the directory and its missing parents. A root (/, \ or C:\)
// counts as existing; a relative path of one segment cannot be created.
bool make_directories(const WideString& path);
// True when anything stands at path, a link included whether or not its
// target exists, or when that cannot be told. Only the last component is
// looked at without following it.
bool path_taken(const WideString& path);
// Writes the text under a temporary name beside file_path and renames it
// into place when every byte is written; a link at file_path is never
// written through. With no_overwrite, anything at file_path (a link
// included) makes it fail; otherwise that is replaced, a link itself.
bool write_report_file(const WideString& text, const WideString& file_path, bool no_overwrite);
// Length of the target path written into buffer (0 when none).
int resolve_shell_link(const WideString& link_path, char16_t* buffer, int buffer_length);
