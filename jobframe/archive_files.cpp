// The file objects of a job (see archive_files.h).
#include "archive_files.h"

#include "platform.h"

bool InputFile::open(const WideString& path) {
    close();
    if (before_open) before_open(path);
    file_ = platform::open_file(path, "rb");
    return file_ != nullptr;
}

void InputFile::close() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
}

bool OutputFile::open(const WideString& path) {
    close();
    file_ = platform::open_file(path, "wb");
    if (file_ == nullptr) return false;
    std::setvbuf(file_, nullptr, _IOFBF, BUFFER_SIZE);
    return true;
}

bool OutputFile::close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}
