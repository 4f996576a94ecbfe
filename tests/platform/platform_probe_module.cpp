// A small shared library for platform_modules_test: it reports the file
// name of the module it is compiled into, as a codec library asks for its
// own.
#include "archive_exports.h"
#include "platform.h"

ARCHIVE_EXPORT int probe_module_file_name(char16_t* buffer, int capacity) {
    const WideString name = platform::module_file_name(true);
    if (capacity <= 0 || name.size() + 1 > static_cast<std::size_t>(capacity)) return -1;
    name.copy(buffer, name.size());
    buffer[name.size()] = u'\0';
    return static_cast<int>(name.size());
}
