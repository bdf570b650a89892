# Cross toolchain: 32-bit Windows (PE32) with MinGW-w64, posix thread model.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
