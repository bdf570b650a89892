# Cross toolchain: 64-bit Windows (PE32+), for the test run on machines that
# execute no 32-bit x86 code (see scripts/configure).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELORA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
