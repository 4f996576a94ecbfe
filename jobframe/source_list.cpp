// The parts of the source-file walk that do not depend on the member record
// (see source_list.h).
#include "source_list.h"

#include "file_system.h"
#include "path_text.h"

namespace {

bool is_drive_name(const WideString& text) {
    return text.size() == 2 && text[1] == u':' &&
           ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'));
}

}  // namespace

WideString directory_path_form(const WideString& relative_path) {
    WideString form = relative_path;
    for (char16_t& c : form) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    if (!form.empty() && form.back() != u'/') {
        form.push_back(u'/');
    }
    return form;
}

bool is_valid_directory_path(const WideString& directory_path) {
    if (directory_path.empty()) {
        return false;
    }
    if (path_kind_of(directory_path.c_str()) == PATH_DIRECTORY) {
        return true;
    }
    // Some systems refuse the status of a directory named with its final
    // separator.
    WideString bare = directory_path;
    bare.pop_back();
    return !bare.empty() && path_kind_of(bare.c_str()) == PATH_DIRECTORY;
}

std::vector<WideString> list_directory(const WideString& directory_path) {
    std::vector<WideString> names;
    if (!is_valid_directory_path(directory_path)) {
        return names;
    }
    // The enumeration takes the directory without its final "/"; the
    // platform adds its own separator and the pattern.
    WideString directory = directory_path;
    if (directory.back() == u'/') {
        directory.pop_back();
    }
    std::vector<platform::DirectoryItem> items;
    if (!platform::list_directory(directory, items)) {
        return names;
    }
    names.reserve(items.size());
    for (platform::DirectoryItem& item : items) {
        if (item.name != u"." && item.name != u"..") {
            names.push_back(std::move(item.name));
        }
    }
    return names;
}

bool split_source_path(const WideString& full_path, WideString& directory, WideString& leaf) {
    const std::size_t end = full_path.find(u'\0');
    const WideString text = full_path.substr(0, end);
    std::size_t cut = text.size();
    while (cut > 0 && !is_path_separator(text[cut - 1])) {
        --cut;
    }
    if (cut == 0 || cut == text.size()) {
        return false;
    }
    directory = text.substr(0, cut - 1);
    if (directory.empty() || is_drive_name(directory)) {
        directory = text.substr(0, cut);
    }
    leaf = text.substr(cut);
    return true;
}

void settle_archive_name(std::int32_t count, const char16_t* const* paths, WideString& archive_name) {
    if (count <= 0 || paths == nullptr) {
        return;
    }
    if (!archive_name.empty()) {
        archive_name = full_path_of(archive_name);
    } else {
        const WideString& start = job_state().start_directory;
        // Without a start directory the name would land in the root.
        if (start.empty()) {
            return;
        }
        // The component is taken from the full form, so that a relative
        // first path ("." or "..") names the directory it stands for.
        const WideString first = paths[0] != nullptr ? WideString(paths[0]) : WideString();
        WideString full = full_path_of(first);
        if (full.empty()) {
            full = first;
        }
        WideString component = file_name_of(full);
        // A dropped drive root ends in its drive name; "C:" inside a file
        // name would name a stream of a file "C" on Windows, so the colon
        // goes.
        if (is_drive_name(component)) {
            component.pop_back();
        }
        archive_name = start;
        if (!is_path_separator(start.back())) {
            archive_name += u"/";
        }
        archive_name += component;
        if (count > 1) {
            archive_name += u"~~";
        }
    }
    if (archive_name.empty()) {
        return;
    }

    // The archive's directory is made now; a failure shows when the driver
    // opens the archive.
    const WideString parent = parent_directory_of(archive_name, false);
    if (!parent.empty() && path_kind_of(parent.c_str()) == PATH_MISSING) {
        make_directories(parent);
    }
}
