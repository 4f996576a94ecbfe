// From a member's stored names to the path it is extracted to: the names
// decoded in order (each through decode_stored_name, reported under its
// label), the LZH split of a name's directories into the directory part,
// and the last checks on the path before a file is created.
#pragma once

#include <vector>

#include "extract_member.h"
#include "text_types.h"

struct MemberPath {
    WideString name;       // the member's name; its last component when split
    WideString directory;  // "" or a relative directory ending in "/"
    WideString full() const { return directory + name; }
};

// Decodes the parts in order into the name and the directory. With split, a
// name that carries directories ("/" after its first character) hands them
// over to the directory, which gets "/" separators and a trailing "/"; a
// directory always ends with a separator then.
MemberPath decode_member_path(const std::vector<NamePart>& parts, bool split);

// The last word before a file is created: a relative path, no drive or
// stream colon, and no component that the file systems take for "." or
// "..". (The stored-name conversion already makes every name harmless.)
bool is_safe_output_path(const WideString& path);

// The directory part of an output path: everything up to its last "/" or
// "\", that separator included; "" when there is none. Names from
// MS-DOS-era archives carry their directories with "\" inside the name.
WideString output_directory_of(const WideString& path);

bool ends_with_separator(const WideString& path);
