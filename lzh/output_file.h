// OutputFile: the output stream object of one archive's extraction. The
// extraction driver opens it for every entry it writes and closes it again.
#pragma once

#include <cstdio>

#include "text_types.h"

namespace lzh {

class OutputFile {
public:
    // Bytes reach the file through a buffer of this size, so that the
    // byte-at-a-time output of the decoders costs no system call per byte.
    static constexpr std::size_t BUFFER_SIZE = 1 << 16;

    OutputFile() = default;
    ~OutputFile() { close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens path for binary writing, truncating it; a file still open is
    // closed first. False when the file cannot be opened.
    bool open(const WideString& path);
    // Closes the file; false when its last bytes could not be written.
    // Closing a closed stream does nothing and succeeds.
    bool close();

    std::FILE* file() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};

}  // namespace lzh
