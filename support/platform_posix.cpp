// Platform layer, posix implementation. Filled in by the platform work.
#include "platform.h"
