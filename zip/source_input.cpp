#include "source_input.h"

#include "platform.h"

bool SourceInput::open(const WideString& path) {
    close();
    file_ = platform::open_file(path, "rb");
    return file_ != nullptr;
}

void SourceInput::close() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
}
