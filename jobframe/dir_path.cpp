// Output directories of the extraction drivers (see dir_path.h).
#include "dir_path.h"

#include <vector>

#include "platform.h"

namespace {

// The file status of a directory path with its trailing "/"; when the
// platform refuses that form, the same path without it.
bool is_existing_directory(const WideString& path) {
    platform::FileStatus status;
    if (platform::file_status(path, status) != platform::StatResult::ok) {
        if (path.size() < 2) {
            return false;
        }
        const WideString bare = path.substr(0, path.size() - 1);
        if (platform::file_status(bare, status) != platform::StatResult::ok) {
            return false;
        }
    }
    return status.is_directory;
}

// a/b/ -> a, a/ -> empty: the path without its trailing "/" and without
// its last component and the "/" before it.
WideString parent_of(const WideString& path) {
    const WideString trimmed = path.substr(0, path.size() - 1);
    const std::size_t last = trimmed.rfind(u'/');
    return last == WideString::npos ? WideString() : trimmed.substr(0, last);
}

}  // namespace

DirPath::DirPath(const WideString& p) {
    if (p.empty()) {
        return;
    }
    path = p;
    for (char16_t& c : path) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    if (path.back() != u'/') {
        path.push_back(u'/');
    }
    exists = is_existing_directory(path);
}

bool DirPath::make() {
    if (path.empty() || exists) {
        return true;
    }
    // Walk up to the first ancestor that exists (or the empty parent of a
    // relative path), then create the missing ones outermost first. This is
    // a loop rather than a recursion because a stored name can hold as many
    // components as the name-length limit allows.
    std::vector<WideString> missing{path};
    for (WideString parent = parent_of(path); !parent.empty(); parent = parent_of(missing.back())) {
        DirPath ancestor(parent);
        if (ancestor.exists) {
            break;
        }
        missing.push_back(ancestor.path);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!platform::make_directory(*it)) {
            return false;
        }
    }
    exists = true;
    return true;
}
