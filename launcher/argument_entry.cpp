// Building the entry of one argument. Every path is made absolute here,
// before the destination directory may become the current directory, so the
// libraries receive paths that do not depend on where they run.
#include "argument_entry.h"

#include "file_system.h"
#include "path_text.h"
#include "platform.h"
#include "text_convert.h"

namespace {

constexpr char16_t SHORTCUT_EXTENSION[] = u"lnk";

// Kind and extension of entry.full_path, worked out again after a shortcut
// was replaced by its target.
void examine(ArgumentEntry& entry) {
    entry.path_kind = path_kind_of(entry.full_path.c_str());
    const char16_t* extension = find_extension(entry.full_path.c_str());
    entry.extension = extension != nullptr ? WideString(extension) : WideString();
}

}  // namespace

void ArgumentEntry::set_aside() {
    full_path.clear();
    extension.clear();
    path_kind = PATH_MISSING;
}

int archive_kind_of_extension(const WideString& extension) {
    if (extension.empty()) {
        return ARCHIVE_NONE;
    }
    const char16_t* text = extension.c_str();
    if (equal_nocase(text, u"lzh")) {
        return ARCHIVE_LZH;
    }
    if (equal_nocase(text, u"zip")) {
        return ARCHIVE_ZIP;
    }
    for (const char16_t* other : {u"cab", u"gz2", u"tgz", u"gz", u"tar"}) {
        if (equal_nocase(text, other)) {
            return ARCHIVE_OTHER;
        }
    }
    return ARCHIVE_NONE;
}

ArgumentEntry build_argument_entry(const WideString& text, bool resolve_shortcuts) {
    ArgumentEntry entry;
    // %NAME% references are expanded before anything else. An expansion
    // that does not fit a path buffer leaves no usable path: the argument is
    // then treated as one that cannot be made absolute.
    WideString expanded_path;
    if (text.find(u'%') != WideString::npos) {
        if (!platform::expand_environment(text, expanded_path)) {
            return entry;
        }
    } else {
        expanded_path = text;
    }
    entry.full_path = full_path_of(expanded_path);
    if (entry.full_path.empty()) {
        return entry;
    }
    examine(entry);

    // Only a lower-case ".lnk" is a shortcut; "X.LNK" stays a plain file.
    if (resolve_shortcuts && entry.path_kind == PATH_FILE && entry.extension == SHORTCUT_EXTENSION) {
        char16_t target[PATH_BUFFER_LENGTH] = {};
        const int length = resolve_shell_link(entry.full_path, target, PATH_BUFFER_LENGTH);
        target[PATH_BUFFER_LENGTH - 1] = 0;  // the buffer is read as terminated text
        if (length > 0 && target[0] != 0) {
            entry.full_path = target;
            examine(entry);
        }
    }

    // Directories and other objects never count as archives, whatever
    // their name; a missing path may name the archive to create.
    if (entry.path_kind == PATH_FILE || entry.path_kind == PATH_MISSING) {
        entry.archive_kind = archive_kind_of_extension(entry.extension);
    }
    return entry;
}
