// A directory for extracted members that can create itself together with
// every missing parent.
#pragma once

#include "text_types.h"

struct DirPath {
    // The directory with "/" separators only and a trailing "/"; empty when
    // built from an empty path.
    WideString path;
    // True when path names an existing directory.
    bool exists = false;

    explicit DirPath(const WideString& p);

    // True when the directory exists afterwards: it existed already, or it
    // was created now, its missing parents first.
    bool make();
};
