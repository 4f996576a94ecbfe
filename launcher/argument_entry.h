// Turning one argument text into an ArgumentEntry: environment expansion,
// absolute path, kind, extension, shortcut target and archive kind.
#pragma once

#include "launch_job.h"

// Shortcuts are resolved only while the component system is initialised,
// that is for the arguments met during parse_arguments.
ArgumentEntry build_argument_entry(const WideString& text, bool resolve_shortcuts);

// The archive kind an extension stands for (A-Z folded); ARCHIVE_NONE for
// an empty one.
int archive_kind_of_extension(const WideString& extension);
