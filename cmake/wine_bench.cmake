# Every Windows program of the build runs under Wine with the project's own
# prefixes in the build tree (made once, reused) and its own Wine environment,
# whatever Wine variables the caller has: see tests/wine/session and
# tests/wine/environment.
set(VELORA_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
set(VELORA_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run)
set(VELORA_WINE_SESSION ${CMAKE_SOURCE_DIR}/tests/wine/session)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELORA_WINE_RUN} ${VELORA_WINE_STATE})
