# Every Windows program of the build runs under Wine with the project's own
# prefixes in the build tree (made once, reused) and its own Wine environment,
# whatever Wine variables the caller has: see tests/wine/session and
# tests/wine/environment.
set(VELORA_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
set(VELORA_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run)
set(VELORA_WINE_SESSION ${CMAKE_SOURCE_DIR}/tests/wine/session)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELORA_WINE_RUN} ${VELORA_WINE_STATE})

# A kernel that runs no 32-bit programs gets Wine in its new WoW64 form
# (tests/wine/environment), which has no pure 32-bit Windows: the runs in the
# 32-bit Windows prefix are then registered but disabled, and CTest lists them.
execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE wine32_result
                OUTPUT_QUIET ERROR_QUIET)
if(NOT wine32_result EQUAL 0 AND EXISTS /opt/velora-wine/bin/wine)
  set(VELORA_WINE_WOW64 ON)
  message(WARNING "Debian's wine32 loader cannot run here (32-bit programs refused by the "
                  "kernel): tests use Wine's new WoW64 form, and the 32-bit Windows runs are disabled")
else()
  set(VELORA_WINE_WOW64 OFF)
endif()
