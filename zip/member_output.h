// MemberOutput: the output file stream object of one archive's extraction.
// The job frame makes a new one per archive; the driver opens and closes it
// once per entry. Whatever is open when the object goes (a decoder threw in
// the middle of an entry) is closed then, with the bytes written so far.
#pragma once

#include <cstdio>

#include "text_types.h"

class MemberOutput {
public:
    MemberOutput() = default;
    ~MemberOutput() { close(); }
    MemberOutput(const MemberOutput&) = delete;
    MemberOutput& operator=(const MemberOutput&) = delete;

    // Creates or truncates the file for writing in binary mode; false when
    // it cannot be opened (the object is then closed and can be opened
    // again).
    bool open(const WideString& path);
    // Closes the file; false when the last buffered bytes could not be
    // written. Closing a closed object does nothing and succeeds.
    bool close();

    std::FILE* file() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};
