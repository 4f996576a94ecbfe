// StagedFile: a file written under a temporary name beside its place and
// renamed into place only when it is complete.
//
// An extracted member or a report must never be left cut short, and must
// never cost the file that stood at its name until it is whole: a full
// disk, a failed write, a cancelled job, a decoder that throws or a crash
// leave the old file as it was. The temporary file is created exclusively
// in the directory of the place (never through a link), and the rename
// replaces whatever stands at the name, a link itself included, never a
// link's target. A rename inside one directory is atomic on the file
// systems in use: the name holds either the old file or the new one.
//
// The interface follows the output streams of the extraction drivers:
// open, write through file(), then commit (or abandon).
#pragma once

#include <cstdint>
#include <cstdio>

#include "output_place.h"
#include "text_types.h"

class StagedFile {
public:
    // Bytes reach the file through a buffer of this size, so that the
    // byte-at-a-time output of the decoders costs no system call per byte.
    static constexpr std::size_t BUFFER_SIZE = 1 << 16;

    StagedFile() = default;
    // An open file that was never committed is abandoned.
    ~StagedFile() { abandon(); }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Opens a temporary file beside path (relative to the current
    // directory; its directories are entered without following links and
    // are not made). A file still open is abandoned first. False when the
    // place is refused or no temporary file can be made; place_result()
    // then says which, and place() names the refused component.
    bool open(const WideString& path);
    // The same with a place already entered (taken over).
    bool open(OutputPlace&& place);

    std::FILE* file() const { return file_; }
    bool is_open() const { return file_ != nullptr; }

    // Marks the data as incomplete (a write that failed, as the writer saw
    // it): commit then abandons instead.
    void mark_failed() { failed_ = true; }

    // Closes the file and, when every byte reached it, renames it to its
    // name. With replace, whatever stands at the name is replaced (a file,
    // or a link itself); without it, the commit fails when the name is
    // taken. False when anything failed: the temporary file is removed
    // and what stood at the name is untouched. A closed object answers
    // false.
    bool commit(bool replace = true);

    // Closes and removes the temporary file; what stood at the name stays.
    // Does nothing when nothing is open.
    void abandon();

    // After a commit: sets the access and modification time of the file
    // at its name, not through a link.
    bool set_file_time(std::int64_t modification_time) const;

    PlaceResult place_result() const { return place_result_; }
    const OutputPlace& place() const { return place_; }

private:
    OutputPlace place_;
    PlaceResult place_result_ = PlaceResult::ok;
    WideString temporary_name_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    bool committed_ = false;
};
