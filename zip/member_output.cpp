#include "member_output.h"

#include "platform.h"

bool MemberOutput::open(const WideString& path) {
    close();
    file_ = platform::open_file(path, "wb");
    return file_ != nullptr;
}

bool MemberOutput::close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}
