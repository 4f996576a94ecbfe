# Cross build of the 32-bit Windows deliverables. This machine cannot run
# 32-bit code, so they are built and linked only.
set(TSUCHI_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
