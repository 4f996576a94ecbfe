// The output stream object of an extraction (see output_file.h).
#include "output_file.h"

#include "platform.h"

namespace lzh {

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

}  // namespace lzh
