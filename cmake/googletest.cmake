# GoogleTest from Debian's sources, built with the cross toolchain.
set(VELORA_GOOGLETEST_SOURCE /usr/src/googletest)
if(NOT EXISTS ${VELORA_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found at ${VELORA_GOOGLETEST_SOURCE}; run scripts/setup")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${VELORA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
