// The input file of a job (see archive_files.h).
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
