// SourceInput: the input file stream object of a create job. The job frame
// makes one per job; the creation driver opens and closes it once per
// source file (twice for a file that is stored as it is). Whatever is open
// when the object goes (a coder threw in the middle of a file) is closed
// then.
#pragma once

#include <cstdio>

#include "text_types.h"

class SourceInput {
public:
    SourceInput() = default;
    ~SourceInput() { close(); }
    SourceInput(const SourceInput&) = delete;
    SourceInput& operator=(const SourceInput&) = delete;

    // Opens the file for reading in binary mode, closing what was open
    // before; false when it cannot be opened.
    bool open(const WideString& path);
    // Closes the file. Closing a closed object does nothing.
    void close();

    std::FILE* file() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};
