// InputFile: the input stream object of one archive's creation. The
// creation driver opens it for every source file it reads (twice for a
// file that is stored as it is: once to compress it, once to copy it) and
// closes it again.
#pragma once

#include <cstdio>
#include <functional>

#include "text_types.h"

namespace lzh {

class InputFile {
public:
    InputFile() = default;
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens path (relative to the current directory) for binary reading; a
    // file still open is closed first. False when it cannot be opened.
    bool open(const WideString& path);
    void close();

    std::FILE* file() const { return file_; }

    // Called with the path before every open. A source can change between
    // the two reads of a stored file; tests make it change here.
    std::function<void(const WideString& path)> before_open;

private:
    std::FILE* file_ = nullptr;
};

}  // namespace lzh
