// InputFile: what the creation driver reads a source file through, and
// what the extraction driver reads an archive through (members are written
// through StagedFile). It is opened and closed again per file; whatever is
// open when the object goes (a coder threw in the middle of a file) is
// closed then.
#pragma once

#include <cstdio>
#include <functional>

#include "text_types.h"

class InputFile {
public:
    InputFile() = default;
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens path (relative to the current directory) for binary reading; a
    // file still open is closed first. False when it cannot be opened.
    bool open(const WideString& path);
    // Closing a closed object does nothing.
    void close();

    std::FILE* file() const { return file_; }

    // Called with the path before every open. A source can change between
    // the two reads of a stored file; tests make it change here.
    std::function<void(const WideString& path)> before_open;

private:
    std::FILE* file_ = nullptr;
};
