# Compile and link settings shared by every Windows target of the project.

# Wide Windows API everywhere; -municode gives the wide program entry.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0601 WINVER=0x0601 PSAPI_VERSION=2)

# Reproducible objects: no build-folder paths in the output.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)

# Fully static, ASLR and DEP on, no link time stamp (two clean builds of one
# commit give the same bytes).
add_link_options(-static -static-libgcc -static-libstdc++
                 -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp)

set(VELORA_WARNINGS -Wall -Wextra -Werror -Wno-cast-function-type)

# A project target: warnings as errors, the project's include root.
function(velora_target target)
  target_compile_options(${target} PRIVATE ${VELORA_WARNINGS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
endfunction()

# A GUI program with the wide entry point, stripped.
function(velora_windows_program target)
  velora_target(${target})
  target_link_options(${target} PRIVATE -municode -mwindows -s)
endfunction()
