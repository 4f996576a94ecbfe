// The input file of a job (see archive_files.h).
#include "archive_files.h"

#include "platform.h"

bool InputFile::open(const WideString& path) {
    close();
    if (before_open) before_open(path);
    file_ = platform::open_file(path, "rb", &size_);
    if (file_ == nullptr) return false;
    if (buffer_kind_ == Buffer::OWN) {
        if (buffer_ == nullptr) buffer_ = std::make_unique_for_overwrite<char[]>(OWN_BUFFER_SIZE);
        // Before the first read, as the runtime requires; a refusal only
        // leaves the runtime's own buffering.
        std::setvbuf(file_, buffer_.get(), _IOFBF, OWN_BUFFER_SIZE);
    }
    return true;
}

void InputFile::close() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
}
