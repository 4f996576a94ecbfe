// Platform layer, win32 implementation. Filled in by the platform work.
#include "platform.h"
