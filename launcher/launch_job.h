// The launcher's job: the options record handed to the codec libraries,
// followed by what the launcher itself decided from its command line.
#pragma once

#include <memory>
#include <vector>

#include "archive_options.h"
#include "text_types.h"

// What the job does. Switches may set it; classification decides the rest.
constexpr int MODE_UNDECIDED = 0;
constexpr int MODE_CREATE = 1;
constexpr int MODE_EXTRACT = 2;

// Archive kinds, both of an argument (by its extension) and of the job.
constexpr int ARCHIVE_NONE = 0;
constexpr int ARCHIVE_LZH = 1;
constexpr int ARCHIVE_ZIP = 2;
constexpr int ARCHIVE_OTHER = 4;  // an archive no library of this system reads

// One existing command-line argument that is not a switch.
struct ArgumentEntry {
    // Absolute path (environment references expanded, shortcut resolved).
    // Empty when it could not be formed or once the entry was set aside.
    WideString full_path;
    // Text after the last "." of the last segment, as typed; empty for none.
    WideString extension;
    int path_kind = 0;  // PATH_MISSING, PATH_FILE, PATH_DIRECTORY, PATH_OTHER
    int archive_kind = ARCHIVE_NONE;

    // Drops the entry from an extraction; archive_kind keeps its value.
    void set_aside();
};

struct LaunchJob {
    // Must stay the first member: the libraries receive &options, the start
    // of the job, and read nothing beyond the record.
    ArchiveOptions options;

    // Borrowed pointers into the entries' full_path strings; the entries are
    // not touched after these are built, so the pointers stay valid until
    // the job is destroyed after the library calls.
    std::vector<const char16_t*> paths;      // the list for a single export
    std::vector<const char16_t*> lzh_paths;  // extraction with both libraries
    std::vector<const char16_t*> zip_paths;

    int mode = MODE_UNDECIDED;
    int format = ARCHIVE_NONE;
    int default_format = ARCHIVE_NONE;  // kind of new_archive_name
    int archive_arg_count = 0;          // existing arguments with an archive kind
    WideString other_archive_exts;      // "cab, tgz, " for ARCHIVE_OTHER arguments
    WideString new_archive_name;        // first missing .lzh/.zip argument, absolute
    WideString destination;             // from /D: or /X:, absolute once prepared
    bool no_auto_ff = false;
    bool confirm_arguments = false;
    std::vector<std::unique_ptr<ArgumentEntry>> entries;  // command-line order
    bool cancelled = false;

    explicit LaunchJob(const ArchiveOptions& defaults) : options(defaults) {}
    // locale_name_ref points into the job itself: the job never moves.
    LaunchJob(const LaunchJob&) = delete;
    LaunchJob& operator=(const LaunchJob&) = delete;

    int path_count() const { return static_cast<int>(paths.size()); }
    int lzh_count() const { return static_cast<int>(lzh_paths.size()); }
    int zip_count() const { return static_cast<int>(zip_paths.size()); }
};
