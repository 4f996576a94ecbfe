// The two file objects of a job. InputFile: what the creation driver reads
// a source file through, and what the extraction driver reads an archive
// through. OutputFile: a plain output file, truncated when opened (the
// extraction driver writes members through StagedFile instead).
// Each is opened and closed again per file; whatever is open when the
// object goes (a coder threw in the middle of a file) is closed then.
#pragma once

#include <cstddef>
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

class OutputFile {
public:
    // Bytes reach the file through a buffer of this size, so that the
    // byte-at-a-time output of the decoders costs no system call per byte.
    static constexpr std::size_t BUFFER_SIZE = 1 << 16;

    OutputFile() = default;
    ~OutputFile() { close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates path for binary writing; a file still open is
    // closed first. False when the file cannot be opened (the object is
    // then closed and can be opened again).
    bool open(const WideString& path);
    // Closes the file; false when its last bytes could not be written.
    // Closing a closed object does nothing and succeeds.
    bool close();

    std::FILE* file() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};
