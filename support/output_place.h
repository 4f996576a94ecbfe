// Where a file goes below the current directory: the directories of its
// path entered one by one without following links (and made when they are
// missing, if asked), and its name inside the last of them.
//
// An archive member named "link/x.txt" must not land wherever a link named
// "link" points, nor make directories there, nor write through a link that
// stands at its own name. Every directory of the path is entered from the
// one before it, none through a link; a path that meets a link is refused,
// and the component that refused it is kept for the error line.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform.h"
#include "text_types.h"

enum class PlaceResult { ok, link, not_directory, error };

// An open directory shared by the places that stand in it; closed with
// the last of them.
using SharedDirectory = std::shared_ptr<void>;

// The directories of the last path entered, kept open from the current
// directory down, so that the next member of the same folder (archives
// list a folder's members together) opens none of them again, and a
// sibling folder only its own. Each was entered without following links
// when it joined the trail, and a handle stays the directory it was opened
// as. A trail belongs to one run over one archive in one current
// directory. Deep paths keep only their first MAX_DEPTH levels, so that a
// hostile path of thousands of levels cannot use up the descriptors.
class DirectoryTrail {
public:
    static constexpr std::size_t MAX_DEPTH = 32;

private:
    friend class OutputPlace;
    struct Level {
        WideString name;
        SharedDirectory directory;
    };
    SharedDirectory start_;
    std::vector<Level> levels_;
};

class OutputPlace {
public:
    OutputPlace() = default;
    OutputPlace(OutputPlace&& other) noexcept = default;
    OutputPlace& operator=(OutputPlace&& other) noexcept = default;
    OutputPlace(const OutputPlace&) = delete;
    OutputPlace& operator=(const OutputPlace&) = delete;

    // path is relative to the current directory, with "/" or "\"
    // separators; empty and "." components are passed over. A path that
    // ends in a separator names a directory: all of it is entered and the
    // name is empty. With make_directories, missing directories are made
    // (outermost first). A ".." component, a leading separator or a drive
    // is an error: the stored-name conversion lets none through, and none
    // may lead out of the current directory.
    // With a trail, the directories it holds are taken from it and the
    // ones entered join it.
    PlaceResult enter(const WideString& path, bool make_directories, DirectoryTrail* trail = nullptr);

    // For a file the job names itself (a report): the directory part of
    // path, relative or absolute, is opened as it is, links followed (it is
    // a directory the user chose, such as the start directory); only the
    // last component is kept from being followed. A path that ends in a
    // separator has no name and is an error.
    PlaceResult open_parent(const WideString& path);

    // After a refusal: the path up to and including the component that is
    // a link, is not a directory, or could not be made or opened.
    const WideString& refused_part() const { return refused_part_; }

    // After ok: the directory that holds the name, and the name.
    platform::DirectoryHandle directory() const { return directory_.get(); }
    const WideString& name() const { return name_; }
    // What stands at the name now, the name itself not followed: a link is
    // platform::NodeKind::link wherever it points, so that the caller
    // treats it like an existing file. directory for a directory path.
    platform::NodeKind kind() const;

private:
    void release() { directory_.reset(); }

    SharedDirectory directory_;
    WideString name_;
    WideString refused_part_;
};

// The error line of a member whose place was refused: the member's path
// and why, naming the component that refused it.
WideString place_error_line(const WideString& path, PlaceResult result, const WideString& refused_part);
