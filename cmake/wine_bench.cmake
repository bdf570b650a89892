# Every Windows program of the build runs under Wine with the project's own
# prefixes in the build tree (made once, reused) and its own Wine environment,
# whatever Wine variables the caller has: see tests/wine/session and
# tests/wine/environment.
set(VELORA_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
set(VELORA_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run)
set(VELORA_WINE_SESSION ${CMAKE_SOURCE_DIR}/tests/wine/session)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELORA_WINE_RUN} ${VELORA_WINE_STATE})

# A kernel booted with IA-32 emulation off runs the PE32 programs only through
# qemu-i386 (tests/wine/i386-route, entered by wine-run and the session by
# themselves): every instruction of them is emulated there, and the tests whose
# work is CPU-bound give that build less of it (tests/CMakeLists.txt).
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/i386-route status
                OUTPUT_VARIABLE velora_i386 OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE velora_i386_result)
if(NOT velora_i386_result EQUAL 0)
  message(FATAL_ERROR "tests/wine/i386-route could not tell how this machine runs i386 programs")
endif()
if(velora_i386 STREQUAL "emulated" AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(VELORA_EMULATED_CPU ON)
  message(STATUS "This kernel runs no i386 code: the PE32 programs run under Wine through qemu-i386")
else()
  set(VELORA_EMULATED_CPU OFF)
endif()
