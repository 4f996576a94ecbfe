#include "zip_entry.h"

#include "platform.h"

ZipEntry::ZipEntry(const WideString& source_path) {
    platform::FileStatus status;
    if (platform::file_status(source_path, status) != platform::StatResult::ok) return;
    platform::LocalTime local;
    if (platform::to_local_time(status.modification_time, local)) {
        year = local.year;
        month = local.month;
        day = local.day;
        hour = local.hour;
        minute = local.minute;
        second = local.second;
    }
    path = source_path;
    if (status.is_directory) {
        compressed_size = uncompressed_size = ZIP_SIZE_DIRECTORY;
        if (path.back() != u'/') path += u'/';
    } else {
        // Sizes are 32 bits in the headers; larger files are not supported.
        compressed_size = uncompressed_size = static_cast<std::int32_t>(status.size);
    }
}
