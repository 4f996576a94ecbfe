// Message boxes as dialog windows on a Linux desktop (POSIX layer only).
#pragma once

#include <string>

#include "platform.h"

namespace platform {

// Shows a box as a dialog window when the program was started without a
// terminal (standard input is none) on a desktop (a display is there) and a
// dialog program is installed: zenity, else kdialog, looked up on PATH at
// run time. False when no window could be shown; the caller then prompts on
// the terminal. Title and text are UTF-8.
bool dialog_window_box(const std::string& text, const std::string& title, BoxKind kind, BoxAnswer& answer);

}  // namespace platform
