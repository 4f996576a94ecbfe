// Path text: splitting paths into directory, name and extension, on the
// text alone. Both "/" and "\" separate, whatever the platform.
#include "path_text.h"

bool is_path_separator(char16_t c) { return c == u'/' || c == u'\\'; }

std::size_t wide_length(const char16_t* text) {
    if (text == nullptr) return 0;
    return std::char_traits<char16_t>::length(text);
}

// The extension belongs to the last segment only: a dot in a directory name
// ("C:\dir.d\file") is not one, and a trailing dot ("name.") gives none.
const char16_t* find_extension(const char16_t* path) {
    if (path == nullptr) return nullptr;
    const std::size_t length = wide_length(path);
    for (std::size_t i = length; i > 0; --i) {
        const char16_t c = path[i - 1];
        if (c == u'.') return i == length ? nullptr : path + i;
        if (is_path_separator(c)) return nullptr;
    }
    return nullptr;
}

const char16_t* find_file_name(const char16_t* path) {
    if (path == nullptr || path[0] == 0) return nullptr;
    const std::size_t length = wide_length(path);
    std::size_t start = length;
    while (start > 0 && !is_path_separator(path[start - 1])) --start;
    return start == length ? nullptr : path + start;
}

// Trailing separators are not a segment: "C:\a\b\" names b.
WideString file_name_of(const WideString& path) {
    std::size_t end = path.size();
    while (end > 0 && is_path_separator(path[end - 1])) --end;
    std::size_t start = end;
    while (start > 0 && !is_path_separator(path[start - 1])) --start;
    return path.substr(start, end - start);
}

WideString parent_directory_of(const WideString& path, bool keep_separator) {
    std::size_t i = path.size();
    while (i > 0 && is_path_separator(path[i - 1])) --i;   // trailing separators
    while (i > 0 && !is_path_separator(path[i - 1])) --i;  // the last segment
    if (i == 0) return WideString();                       // no separator before it
    return path.substr(0, keep_separator ? i : i - 1);
}

namespace {

void drop_one_trailing_separator(char16_t* path, std::size_t& length) {
    if (length > 0 && is_path_separator(path[length - 1])) path[--length] = 0;
}

// Index just past the last separator, or 0 when there is none.
std::size_t after_last_separator(const char16_t* path, std::size_t length) {
    std::size_t i = length;
    while (i > 0 && !is_path_separator(path[i - 1])) --i;
    return i;
}

}  // namespace

bool cut_file_name(char16_t* path, bool drop_trailing) {
    if (path == nullptr) return false;
    std::size_t length = wide_length(path);
    if (drop_trailing) drop_one_trailing_separator(path, length);
    const std::size_t name_start = after_last_separator(path, length);
    if (name_start == 0 || name_start == length) return false;
    path[name_start] = 0;  // the separator stays: the directory keeps its "\"
    return true;
}

char16_t* split_at_last_separator(char16_t* path, bool drop_trailing) {
    if (path == nullptr) return nullptr;
    std::size_t length = wide_length(path);
    if (drop_trailing) drop_one_trailing_separator(path, length);
    const std::size_t name_start = after_last_separator(path, length);
    if (name_start == 0 || name_start == length) return nullptr;
    path[name_start - 1] = 0;
    return path + name_start;
}

bool append_bounded(char16_t* buffer, const char16_t* text, int capacity) {
    if (buffer == nullptr || text == nullptr || capacity < 0) return false;
    const std::size_t add = wide_length(text);
    if (capacity == 0) {
        std::char_traits<char16_t>::copy(buffer + wide_length(buffer), text, add + 1);
        return true;
    }
    // Look for the terminator only inside the buffer: one that is missing
    // means the buffer is already overfull, and nothing is appended.
    const auto limit = static_cast<std::size_t>(capacity);
    std::size_t used = 0;
    while (used < limit && buffer[used] != 0) ++used;
    if (used == limit || used + add > limit - 1) return false;
    std::char_traits<char16_t>::copy(buffer + used, text, add + 1);
    return true;
}
