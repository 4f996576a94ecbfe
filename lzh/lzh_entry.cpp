// Member records of LZH archives to be written (see lzh_entry.h).
#include "lzh_entry.h"

#include "platform.h"

namespace lzh {

LZHEntry::LZHEntry(const WideString& relative_path) {
    platform::FileStatus status;
    if (platform::file_status(relative_path, status) != platform::StatResult::ok) return;

    WideString path = relative_path;
    if (status.is_directory) {
        compressed_size = original_size = ENTRY_SIZE_DIRECTORY;
        if (path.empty() || path.back() != u'/') path.push_back(u'/');
    } else {
        compressed_size = original_size = status.size;
    }

    to_date_record(status.modification_time, time);

    name = path;
    const std::size_t last = path.rfind(u'/');
    if (last != WideString::npos && last > 0) {
        directory = path.substr(0, last + 1);
        name = path.substr(last + 1);
    }
}

}  // namespace lzh
