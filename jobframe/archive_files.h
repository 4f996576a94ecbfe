// InputFile: what the creation driver reads a source file through, and
// what the extraction driver reads an archive through (members are written
// through StagedFile). It is opened and closed again per file; whatever is
// open when the object goes (a coder threw in the middle of a file) is
// closed then.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>

#include "text_types.h"

class InputFile {
public:
    // How the stream is buffered. A source file is read once, start to end,
    // in large pieces: OWN gives it one 64 KiB buffer for all the files of
    // a job, which spares the runtime the look at each file (an fstat) by
    // which it sizes and allocates a buffer per file. RUNTIME leaves the
    // choice to the runtime, for an archive read in small pieces between
    // seeks.
    enum class Buffer { OWN, RUNTIME };

    explicit InputFile(Buffer buffer = Buffer::OWN) : buffer_kind_(buffer) {}
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens path (relative to the current directory) for binary reading; a
    // file still open is closed first. False when it cannot be opened.
    bool open(const WideString& path);
    // Closing a closed object does nothing.
    void close();

    std::FILE* file() const { return file_; }
    // The size of the file when it was opened.
    std::int64_t size() const { return size_; }

    // Called with the path before every open. A source can change between
    // the two reads of a stored file; tests make it change here.
    std::function<void(const WideString& path)> before_open;

private:
    static constexpr std::size_t OWN_BUFFER_SIZE = 64 * 1024;

    Buffer buffer_kind_;
    std::unique_ptr<char[]> buffer_;
    std::FILE* file_ = nullptr;
    std::int64_t size_ = 0;
};
