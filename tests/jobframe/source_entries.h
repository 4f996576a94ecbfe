// Member records for the tests of the source-file walk and the create
// frame, standing for the codecs' own. Both read the file status of their
// relative path as the codecs' records do, and remember where they were
// made, so that a test can tell which file the walk examined.
//   TreeEntry: names its members as the walk expects (is_missing,
//     is_directory, change_directory) and keeps a parent node of a type of
//     its own, as the LZH record does.
//   FlatEntry: marks its kind in its size, keeps its change directory in a
//     member called `directory` and has no parent, as the ZIP record does;
//     it reaches the walk through a specialisation of SourceEntryTraits.
#pragma once

#include <cstdint>
#include <memory>

#include "platform.h"
#include "source_list.h"
#include "text_types.h"

namespace jobframe_test {

// A codec's directory record: the path and what the codec keeps beside it.
struct TreeNode {
    explicit TreeNode(WideString directory_path) : path(std::move(directory_path)) {}
    WideString path;
    int converted = 0;
};

// What both records learn from the file status.
struct ExaminedPath {
    explicit ExaminedPath(const WideString& relative_path) {
        platform::FileStatus status;
        if (platform::file_status(relative_path, status) != platform::StatResult::ok) {
            return;
        }
        size = status.is_directory ? -2 : status.size;
        path = relative_path;
        if (status.is_directory) {
            path += u"/";
        }
        platform::current_directory(read_in);
    }
    std::int64_t size = -1;  // -1 missing, -2 directory
    WideString path;         // a directory's ends in "/"
    WideString read_in;      // the current directory when it was examined
};

struct TreeEntry {
    explicit TreeEntry(const WideString& relative_path) : examined(relative_path) {}
    bool is_missing() const { return examined.size == -1; }
    bool is_directory() const { return examined.size == -2; }

    ExaminedPath examined;
    std::shared_ptr<TreeNode> parent;
    WideString change_directory;
};

struct FlatEntry {
    explicit FlatEntry(const WideString& relative_path) : examined(relative_path) {}

    ExaminedPath examined;
    WideString directory;  // the change directory
};

}  // namespace jobframe_test

template <>
struct SourceEntryTraits<jobframe_test::FlatEntry> {
    static bool is_missing(const jobframe_test::FlatEntry& entry) { return entry.examined.size == -1; }
    static bool is_directory(const jobframe_test::FlatEntry& entry) { return entry.examined.size == -2; }
    static WideString& change_directory(jobframe_test::FlatEntry& entry) { return entry.directory; }
};
