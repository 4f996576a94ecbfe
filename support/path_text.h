// Path text functions: splitting paths into directory, name and extension.
// No file-system access. Both "/" and "\" are separators.
#pragma once

#include "text_types.h"

bool is_path_separator(char16_t c);

const char16_t* find_extension(const char16_t* path);
const char16_t* find_file_name(const char16_t* path);
WideString file_name_of(const WideString& path);
WideString parent_directory_of(const WideString& path, bool keep_separator);
bool cut_file_name(char16_t* path, bool drop_trailing);
char16_t* split_at_last_separator(char16_t* path, bool drop_trailing);
// Appends text to a terminated buffer of capacity units (0: unchecked).
bool append_bounded(char16_t* buffer, const char16_t* text, int capacity);

// Length of a NUL-terminated wide string.
std::size_t wide_length(const char16_t* text);
