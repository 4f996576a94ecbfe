// make_shell_link LINK TARGET: writes a shortcut file through the shell's
// own shortcut object, as Explorer does, for the desktop scenarios that
// drop a shortcut on the launcher. Exit code 0 when the file was saved.
#include <string>

#include "win32_shell_link_maker.h"

namespace {

WideString wide_argument(const wchar_t* text) {
    WideString result;
    for (; *text != L'\0'; ++text) result += static_cast<char16_t>(*text);
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    return win32_make_shell_link(wide_argument(argv[1]), wide_argument(argv[2])) ? 0 : 1;
}
