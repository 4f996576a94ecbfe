// Makes a shortcut file the way Windows programs do, through the shell's
// own shortcut object, so that the test resolves a shortcut the system
// under test did not write. Windows builds only.
#pragma once

#include "text_types.h"

bool win32_make_shell_link(const WideString& link_path, const WideString& target_path);
