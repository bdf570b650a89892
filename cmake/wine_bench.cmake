# Every Windows program of the build runs under Wine with the project's own
# prefixes in the build tree (made once, reused) and its own Wine environment,
# whatever Wine variables the caller has: see tests/wine/session and
# tests/wine/environment.
set(VELORA_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
set(VELORA_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run)
set(VELORA_WINE_SESSION ${CMAKE_SOURCE_DIR}/tests/wine/session)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELORA_WINE_RUN} ${VELORA_WINE_STATE})

# A kernel that executes no 32-bit x86 code (booted with ia32_emulation off)
# runs no PE32 program under any Wine: there scripts/configure builds the
# tests for 64-bit Windows (cmake/toolchain-mingw-x86_64.cmake) and the bench
# uses Wine's 64-bit loader (tests/wine/environment). The runs in the 32-bit
# Windows prefix are then registered but disabled, and CTest lists them.
execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE wine32_result
                OUTPUT_QUIET ERROR_QUIET)
if(NOT wine32_result EQUAL 0)
  set(VELORA_WINE_64_ONLY ON)
  message(WARNING "This machine executes no 32-bit x86 code: the tests run a 64-bit build "
                  "under Wine's 64-bit loader, and the 32-bit Windows runs are disabled")
else()
  set(VELORA_WINE_64_ONLY OFF)
endif()
