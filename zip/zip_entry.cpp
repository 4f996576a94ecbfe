#include "zip_entry.h"

#include "platform.h"

ZipEntry::ZipEntry(const WideString& source_path) {
    platform::FileStatus status;
    if (platform::file_status(source_path, status) != platform::StatResult::ok) return;
    to_date_record(status.modification_time, time);
    path = source_path;
    if (status.is_directory) {
        compressed_size = uncompressed_size = ZIP_SIZE_DIRECTORY;
        if (path.back() != u'/') path += u'/';
    } else {
        compressed_size = uncompressed_size = static_cast<std::int64_t>(status.size);
    }
}
