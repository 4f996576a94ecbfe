// What distinguishes the two codec libraries inside the job frame. The frame
// is compiled once per library (see CMakeLists.txt); the build passes the
// values below as compile definitions, so one source serves both.
#pragma once

#ifndef JOBFRAME_STD_CONVERTERS
#error "JOBFRAME_STD_CONVERTERS must be defined by the build (1 for kanna, 0 for nomi)"
#endif

// Only the LZH library offers the standard library's Unicode converters as
// an alternative to the system's own coders (option bit OPT_STD_CONVERTERS).
inline constexpr bool LIBRARY_HAS_STD_CONVERTERS = JOBFRAME_STD_CONVERTERS != 0;
