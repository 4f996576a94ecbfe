// Files put in place when complete (see staged_file.h).
#include "staged_file.h"

#include <utility>

#include "platform.h"

namespace {

constexpr int NAME_ATTEMPTS = 100;

// A hidden name that no archive member is likely to have, and short, so
// that it fits wherever the member's own name fits.
WideString temporary_name() {
    static const char16_t digits[] = u"0123456789abcdef";
    WideString name = u".tsuchi-";
    unsigned value =
        static_cast<unsigned>(platform::random_number()) << 15 ^ static_cast<unsigned>(platform::random_number());
    for (int i = 0; i < 8; ++i, value >>= 4) name.push_back(digits[value & 0xF]);
    return name + u".tmp";
}

}  // namespace

bool StagedFile::open(const WideString& path, Staging staging) {
    OutputPlace place;
    place_result_ = place.enter(path, false);
    if (place_result_ != PlaceResult::ok) {
        abandon();
        place_ = std::move(place);
        return false;
    }
    return open(std::move(place), staging);
}

bool StagedFile::open(OutputPlace&& place, Staging staging, bool name_free) {
    abandon();
    place_ = std::move(place);
    place_result_ = PlaceResult::ok;
    committed_ = false;
    failed_ = false;
    has_time_at_commit_ = false;
    name_free_ = name_free;
    if (place_.directory() == nullptr || place_.name().empty()) {
        place_result_ = PlaceResult::error;
        return false;
    }
    if (staging == Staging::unnamed_where_possible) file_ = platform::create_unnamed_file_at(place_.directory());
    for (int attempt = 0; attempt < NAME_ATTEMPTS && file_ == nullptr; ++attempt) {
        temporary_name_ = temporary_name();
        file_ = platform::create_new_file_at(place_.directory(), temporary_name_);
        // Only a name that is taken is worth another try.
        if (file_ == nullptr &&
            platform::node_kind_at(place_.directory(), temporary_name_) == platform::NodeKind::missing) {
            break;
        }
    }
    if (file_ == nullptr) {
        temporary_name_.clear();
        return false;
    }
    // A buffer of our own: the C library would size its own by the file
    // system's block (4 KiB) and look that up with a system call per file.
    if (buffer_ == nullptr) buffer_ = std::make_unique_for_overwrite<char[]>(BUFFER_SIZE);
    std::setvbuf(file_, buffer_.get(), _IOFBF, BUFFER_SIZE);
    return true;
}

bool StagedFile::commit(bool replace) {
    if (file_ == nullptr) return false;
    // A full disk may show only when the buffered bytes go out.
    const bool written = !failed_ && std::ferror(file_) == 0 && std::fflush(file_) == 0;
    // The bits are the old file's only where the file system keeps them
    // (FAT refuses most): the data matters more than they do.
    if (written && replace && !name_free_) platform::take_permissions_at(place_.directory(), place_.name(), file_);
    // No byte follows, so the time stays; a file system that keeps no
    // times is no reason to lose the data.
    if (written && has_time_at_commit_) platform::set_open_file_time(file_, time_at_commit_);
    if (temporary_name_.empty()) {
        // Unnamed: what is not linked is gone with the close.
        std::FILE* file = std::exchange(file_, nullptr);
        if (!written) {
            std::fclose(file);
            return false;
        }
        committed_ = platform::close_and_link_at(place_.directory(), file, place_.name(), replace, temporary_name());
        return committed_;
    }
    const bool closed = std::fclose(std::exchange(file_, nullptr)) == 0;
    if (!written || !closed || !platform::rename_at(place_.directory(), temporary_name_, place_.name(), replace)) {
        platform::remove_at(place_.directory(), temporary_name_);
        temporary_name_.clear();
        return false;
    }
    temporary_name_.clear();
    committed_ = true;
    return true;
}

void StagedFile::abandon() {
    if (file_ == nullptr) return;
    std::fclose(std::exchange(file_, nullptr));
    if (!temporary_name_.empty()) platform::remove_at(place_.directory(), temporary_name_);
    temporary_name_.clear();
}

bool StagedFile::set_file_time(std::int64_t modification_time) const {
    return committed_ && platform::set_file_time_at(place_.directory(), place_.name(), modification_time);
}
