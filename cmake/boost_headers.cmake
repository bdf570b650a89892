# The cross compiler must not see the host's /usr/include: it gets a folder that
# holds nothing but a link to the system's Boost headers (header-only use:
# Format, Regex, Tokenizer).
set(VELORA_BOOST_SOURCE /usr/include/boost)
if(NOT EXISTS ${VELORA_BOOST_SOURCE}/version.hpp)
  message(FATAL_ERROR "Boost headers not found at ${VELORA_BOOST_SOURCE}; run scripts/setup")
endif()
set(VELORA_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-only)
file(MAKE_DIRECTORY ${VELORA_BOOST_INCLUDE})
file(CREATE_LINK ${VELORA_BOOST_SOURCE} ${VELORA_BOOST_INCLUDE}/boost SYMBOLIC)

add_library(boost_headers INTERFACE)
target_include_directories(boost_headers SYSTEM INTERFACE ${VELORA_BOOST_INCLUDE})
# Never ask for a compiled Boost library: Regex is header-only since 1.76.
target_compile_definitions(boost_headers INTERFACE BOOST_ALL_NO_LIB)
