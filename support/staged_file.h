// StagedFile: a file written under a temporary name beside its place and
// renamed into place only when it is complete.
//
// An extracted member or a report must never be left cut short, and must
// never cost the file that stood at its name until it is whole: a full
// disk, a failed write, a cancelled job, a decoder that throws or a crash
// leave the old file as it was. Where the system has files without a name
// (Linux), the data is written to one in the directory of the place, so
// that not even a crash leaves a partial file behind, and it is linked at
// its name when complete. Elsewhere it is written under a hidden temporary
// name, created exclusively in that directory (never through a link), and
// renamed. Either way the name is replaced as a whole: whatever stands at
// it, a link itself included, never a link's target. A rename inside one
// directory is atomic on the file systems in use: the name holds either
// the old file or the new one. A file that replaces a file keeps that
// file's permission bits.
//
// The interface follows the output streams of the extraction drivers:
// open, write through file(), then commit (or abandon).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "output_place.h"
#include "text_types.h"

// How the data is held until it is complete. `named` is the way of every
// system; `unnamed_where_possible` falls back to it by itself.
enum class Staging { unnamed_where_possible, named };

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
    bool open(const WideString& path, Staging staging = Staging::unnamed_where_possible);
    // The same with a place already entered (taken over). name_free says
    // that the caller found nothing at the name: then there are no
    // permission bits to take over at the commit.
    bool open(OutputPlace&& place, Staging staging = Staging::unnamed_where_possible, bool name_free = false);

    std::FILE* file() const { return file_; }
    bool is_open() const { return file_ != nullptr; }
    // While open: the data has no name yet (no temporary file stands in
    // the directory).
    bool unnamed() const { return file_ != nullptr && temporary_name_.empty(); }

    // Marks the data as incomplete (a write that failed, as the writer saw
    // it): commit then abandons instead.
    void mark_failed() { failed_ = true; }

    // Closes the file and, when every byte reached it, puts it at its
    // name (links or renames it there). With replace, whatever stands at
    // the name is replaced (a file, which passes on its permission bits, or
    // a link itself); without it, the commit fails when the name is taken.
    // False when anything failed: the temporary file is gone and what
    // stood at the name is untouched. A closed object answers false.
    bool commit(bool replace = true);

    // Closes and removes the temporary file; what stood at the name stays.
    // Does nothing when nothing is open.
    void abandon();

    // After a commit: sets the access and modification time of the file
    // at its name, not through a link.
    bool set_file_time(std::int64_t modification_time) const;
    // Before the commit: the time the file gets when it is complete, set
    // on the open file, so that it has its time when it gets its name.
    void set_time_at_commit(std::int64_t modification_time) {
        time_at_commit_ = modification_time;
        has_time_at_commit_ = true;
    }

    PlaceResult place_result() const { return place_result_; }
    const OutputPlace& place() const { return place_; }

private:
    OutputPlace place_;
    PlaceResult place_result_ = PlaceResult::ok;
    WideString temporary_name_;
    std::FILE* file_ = nullptr;
    // The stream's buffer, kept from one file to the next.
    std::unique_ptr<char[]> buffer_;
    std::int64_t time_at_commit_ = 0;
    bool has_time_at_commit_ = false;
    bool name_free_ = false;
    bool failed_ = false;
    bool committed_ = false;
};
