// Paths against the file system: absolute paths, the current directory, the
// kind of a path, creation of a directory with its missing parents, report
// files and shortcut targets. Everything reaches the operating system
// through the platform layer.
#include "file_system.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "output_place.h"
#include "path_text.h"
#include "platform.h"
#include "staged_file.h"
#include "text_convert.h"

namespace {

// The text of a path up to its first NUL, as the platform would read it.
WideString terminated(const WideString& path) { return path.substr(0, path.find(u'\0')); }

std::vector<char16_t> path_buffer(const WideString& text) {
    std::vector<char16_t> buffer(text.begin(), text.end());
    buffer.push_back(u'\0');
    return buffer;
}

bool is_drive_name(const WideString& text) {
    return text.size() == 2 && text[1] == u':' &&
           ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'));
}

// The directory part left by splitting a path at its last separator is a
// root when it is empty ("/name", "\name") or a bare drive ("C:\name"). A
// root is never created; it only has to exist, and a bare drive name is
// reported missing by the file-status query, so its root is examined.
bool is_root_part(const WideString& part, bool& exists) {
    if (part.empty()) {
        exists = true;
        return true;
    }
    if (is_drive_name(part)) {
        const WideString root = part + u"\\";
        exists = path_kind_of(root.c_str()) == PATH_DIRECTORY;
        return true;
    }
    return false;
}

}  // namespace

WideString full_path_of(const WideString& path) {
    WideString out;
    if (!platform::full_path(path, out)) return WideString();
    return out;
}

bool full_path_and_name(WideString& path, WideString& name) {
    std::vector<char16_t> buffer = path_buffer(full_path_of(path));
    const char16_t* leaf = split_at_last_separator(buffer.data(), false);
    path = WideString(buffer.data());
    if (leaf == nullptr) return true;
    name = WideString(leaf);
    return false;
}

int current_directory(WideString& destination) {
    WideString directory;
    if (!platform::current_directory(directory)) {
        destination.clear();
        return 0;
    }
    destination = directory;
    return static_cast<int>(destination.size());
}

int path_kind_of(const char16_t* path) {
    if (path == nullptr) return PATH_MISSING;
    platform::FileStatus status;
    if (platform::file_status(WideString(path), status) != platform::StatResult::ok) return PATH_MISSING;
    if (status.is_regular) return PATH_FILE;
    if (status.is_directory) return PATH_DIRECTORY;
    return PATH_OTHER;
}

int path_exists(const char16_t* path) {
    if (path == nullptr) return 0;
    platform::FileStatus status;
    switch (platform::file_status(WideString(path), status)) {
    case platform::StatResult::ok: return status.is_directory ? -2 : 1;
    case platform::StatResult::not_found: return 0;
    default: return -1;
    }
}

bool make_directories(const WideString& path) {
    WideString text = terminated(path);
    if (text.empty()) return false;
    // No platform buffer holds a longer path; the bound also keeps the
    // recursion (one level per segment) shallow.
    if (text.size() >= static_cast<std::size_t>(PATH_BUFFER_LENGTH)) return false;
    if (is_path_separator(text.back())) text.pop_back();

    bool root_exists = false;
    if (is_root_part(text, root_exists)) return root_exists;

    const int existing = path_exists(text.c_str());
    if (existing != 0) return existing == -2;

    std::vector<char16_t> buffer = path_buffer(text);
    if (split_at_last_separator(buffer.data(), false) == nullptr) return false;
    const WideString parent(buffer.data());
    if (is_root_part(parent, root_exists)) {
        if (!root_exists) return false;
    } else if (!make_directories(parent)) {
        return false;
    }
    return platform::make_directory(text);
}

bool path_taken(const WideString& path) {
    OutputPlace place;
    if (place.open_parent(terminated(path)) != PlaceResult::ok) return true;
    return place.kind() != platform::NodeKind::missing;
}

bool write_report_file(const WideString& text, const WideString& file_path, bool no_overwrite) {
    const WideString path = terminated(file_path);
    if (text.empty() || path.empty()) return false;

    // ASCII text is written a byte per unit; anything else as UTF-8 with a
    // byte-order mark, so that editors recognise it. Line ends are kept.
    ByteString bytes;
    if (is_ascii(text)) {
        bytes.reserve(text.size());
        for (char16_t unit : text) bytes.push_back(static_cast<char>(unit));
    } else {
        wide_to_utf8(text, bytes, true);
    }

    OutputPlace place;
    if (place.open_parent(path) != PlaceResult::ok) return false;
    if (no_overwrite && place.kind() != platform::NodeKind::missing) return false;
    StagedFile file;
    if (!file.open(std::move(place))) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.file()) != bytes.size()) file.mark_failed();
    // Without overwriting, a name taken meanwhile makes the commit fail.
    return file.commit(!no_overwrite);
}

int resolve_shell_link(const WideString& link_path, char16_t* buffer, int buffer_length) {
    if (buffer == nullptr || buffer_length <= 0) return 0;
    buffer[0] = u'\0';
    const WideString target = platform::resolve_shell_link(link_path);
    // A target that does not fit is not cut: a shortened path would name
    // something else.
    if (target.empty() || target.size() + 1 > static_cast<std::size_t>(buffer_length)) return 0;
    target.copy(buffer, target.size());
    buffer[target.size()] = u'\0';
    return static_cast<int>(target.size());
}
