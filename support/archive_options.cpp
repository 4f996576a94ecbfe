// The defaults of the options record that the launcher copies into its job
// before it reads the switches.
#include "archive_options.h"

ArchiveOptions& init_archive_options(ArchiveOptions& options) {
    options.flags = 0;
    options.code_page = 0;  // none given: the libraries use the ANSI code page
    for (char16_t& unit : options.locale_name) unit = 0;
    options.locale_name_ref = nullptr;
    options.separator_char = 0x005C;  // a 0xFF separator byte becomes a backslash
    options.max_name_length = 1024;
    options.dialog_limit = 1000;
    return options;
}
