// The source file list of a create job: the dropped files and directories
// turned into the ordered member records that the creation driver stores.
//
// Names in the list are relative to the directory that held each dropped
// path. The walk makes that directory current while it reads the path, and
// the first record read there carries it as its change directory, so that
// the driver, which makes every change directory current before it opens
// the record's file, reads the same files in the same directories. The
// order is depth first: the paths in argument order, the entries of a
// directory in the order the file system enumerates them, each
// subdirectory's records in place of the subdirectory. Nothing is sorted
// and nothing is removed as a duplicate.
//
// The member record is the codec's (one type per library); the walk is a
// template over it. What the walk needs of a record:
//   - a constructor from a path relative to the current directory, which
//     reads the file status (kind, size, modification time);
//   - whether that status could not be read (missing) and whether the path
//     is a directory;
//   - its change directory, a wide string, empty by default;
//   - optionally a member `parent`, a shared pointer to the codec's
//     directory node, which must be constructible from the directory's
//     path. A record without one gets no nodes.
// SourceEntryTraits reads the first three from members of those names
// (is_missing(), is_directory(), change_directory); a codec whose record
// names them otherwise specialises it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "job_state.h"
#include "platform.h"
#include "text_types.h"

// The directory record of the frame itself: one per dropped or found
// directory, shared by the records directly inside it (an empty
// directory's own record holds its own node). A codec that keeps more per
// directory (the stored forms of its path) has a node type of its own; this
// one serves records that need only the path.
struct DirectoryNode {
    explicit DirectoryNode(WideString directory_path) : path(std::move(directory_path)) {}
    // Relative path with "/" separators and a trailing "/".
    WideString path;
};

template <class Entry>
using SourceList = std::vector<Entry>;

template <class Entry>
struct SourceEntryTraits {
    static bool is_missing(const Entry& entry) { return entry.is_missing(); }
    static bool is_directory(const Entry& entry) { return entry.is_directory(); }
    static WideString& change_directory(Entry& entry) { return entry.change_directory; }
};

// ---- parts of the walk that do not depend on the record ------------------

// The directory path form of a relative path: every "\" turned into "/",
// and a "/" appended when it does not end in one. Empty stays empty.
WideString directory_path_form(const WideString& relative_path);

// Whether a directory path form names a directory: the path with its
// final "/" or, failing that, without it.
bool is_valid_directory_path(const WideString& directory_path);

// The names of a directory's entries, "." and ".." excluded, in the order
// the file system enumerates them. Nothing for a path that is empty, not a
// valid directory path, or cannot be enumerated.
std::vector<WideString> list_directory(const WideString& directory_path);

// Splits the full form of a dropped path at its last separator into the
// directory to read it in and its leaf. False (nothing to store) when the
// path ends in a separator or has none. A file in a root keeps the root's
// separator ("/" or "C:\"): a bare "C:" would name the drive's current
// directory instead of its root.
bool split_source_path(const WideString& full_path, WideString& directory, WideString& leaf);

// Settles the archive name before the walk: a given name becomes a full
// path; an empty one is derived from the start directory and the last
// component of the first path, with "~~" after it when several paths were
// dropped (the caller appends the extension). Makes the archive's directory
// when it is missing. Leaves the name empty when none can be formed.
void settle_archive_name(std::int32_t count, const char16_t* const* paths, WideString& archive_name);

// ---- the walk --------------------------------------------------------------

namespace source_list_detail {

// The node pointer type of a record: its `parent` member's type, or the
// frame's own node when the record keeps no parent.
template <class Entry>
struct ParentOf {
    using type = std::shared_ptr<DirectoryNode>;
    static constexpr bool present = false;
};
template <class Entry>
requires requires(Entry& entry) { entry.parent; }
struct ParentOf<Entry> {
    using type = std::remove_cvref_t<decltype(std::declval<Entry&>().parent)>;
    static constexpr bool present = true;
};

}  // namespace source_list_detail

template <class Entry>
using NodePointer = typename source_list_detail::ParentOf<Entry>::type;

// Adds the records for one path (relative to the current directory),
// recursively: a file gets one record with `parent` as its node; a
// directory with entries gets the records of its entries, each directly
// inside it sharing the directory's node, and no record of its own; an
// empty directory gets its own record, which holds its own node. A path
// whose status cannot be read adds nothing.
template <class Entry>
void add_source(const WideString& path, SourceList<Entry>& list, const NodePointer<Entry>& parent) {
    using Traits = SourceEntryTraits<Entry>;
    constexpr bool keeps_parent = source_list_detail::ParentOf<Entry>::present;

    Entry entry(path);
    if (Traits::is_missing(entry)) {
        return;
    }
    if (!Traits::is_directory(entry)) {
        if constexpr (keeps_parent) {
            if (parent) {
                entry.parent = parent;
            }
        }
        list.push_back(std::move(entry));
        return;
    }

    const WideString directory = directory_path_form(path);
    NodePointer<Entry> node;
    if constexpr (keeps_parent) {
        using Node = typename NodePointer<Entry>::element_type;
        node = std::make_shared<Node>(directory);
    }
    // The enumeration is complete before the walk recurses, so only one is
    // open at a time however deep the tree.
    const std::vector<WideString> names = list_directory(directory);
    if (names.empty()) {
        if constexpr (keeps_parent) {
            entry.parent = node;
        }
        list.push_back(std::move(entry));
        return;
    }
    for (const WideString& name : names) {
        add_source<Entry>(directory + name, list, node);
    }
}

// Fills the list from the dropped paths and settles the archive name (see
// settle_archive_name). The process's current directory is the start
// directory again afterwards. Failure shows as an empty list or an empty
// name.
template <class Entry>
void build_file_list(std::int32_t count, const char16_t* const* paths, SourceList<Entry>& list,
                     WideString& archive_name) {
    if (count <= 0 || paths == nullptr) {
        return;
    }
    settle_archive_name(count, paths, archive_name);

    const WideString& start = job_state().start_directory;
    // Every path is made full before the walk changes directory, so that a
    // relative one names what it names from the start directory.
    struct Source {
        WideString directory;
        WideString leaf;
    };
    std::vector<Source> sources;
    for (std::int32_t i = 0; i < count; ++i) {
        WideString full;
        if (paths[i] == nullptr || !platform::full_path(paths[i], full)) {
            continue;
        }
        Source source;
        if (split_source_path(full, source.directory, source.leaf)) {
            sources.push_back(std::move(source));
        }
    }

    // Two directories are followed: the one the walk is in, and the one the
    // driver will be in when it reaches the next record, which changes only
    // where a record carries a change directory. They differ after a path
    // that added nothing (missing): the next record read in that path's
    // directory must still carry it.
    WideString walk_directory = start;
    WideString driver_directory = start;
    for (const Source& source : sources) {
        if (source.directory != walk_directory) {
            // A directory that cannot be entered leaves the walk where it
            // was; reading the leaf there would store another file of the
            // same name.
            if (!platform::set_current_directory(source.directory)) {
                continue;
            }
            walk_directory = source.directory;
        }
        const std::size_t first = list.size();
        add_source<Entry>(source.leaf, list, NodePointer<Entry>());
        if (list.size() > first && source.directory != driver_directory) {
            SourceEntryTraits<Entry>::change_directory(list[first]) = source.directory;
            driver_directory = source.directory;
        }
    }
    if (walk_directory != start) {
        platform::set_current_directory(start);
    }
}
