// The input stream object of a creation (see input_file.h).
#include "input_file.h"

#include "platform.h"

namespace lzh {

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

}  // namespace lzh
