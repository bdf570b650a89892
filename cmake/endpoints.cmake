# The addresses the launcher talks to or opens, set at build time in one place.
# Tests and the demo build with the local update server's loopback address.
set(VELORA_UPDATE_SERVER "http://update.camberly.co.jp" CACHE STRING
    "Scheme, host and optional port of the update server (no trailing slash)")
set(VELORA_SUPPORT_SITE "http://www.camberly.co.jp" CACHE STRING
    "The vendor's web server; its support page is /cs/")
set(VELORA_READER_SITE "https://www.adobe.com" CACHE STRING
    "The PDF reader vendor's web server; its download page is /products/acrobat/readstep2.html")
# The publisher every installer must be signed by before the launcher starts it
# (or lets a download take a cached installer's place): the organisation (O)
# and the common name (CN) of the code-signing certificate, both equal to this
# text, chained to a root the machine trusts. Empty switches the check off.
set(VELORA_PUBLISHER "Camberly Co., Ltd." CACHE STRING
    "O and CN of the code-signing certificate installers must carry; empty: not checked")
if(VELORA_PUBLISHER MATCHES "[\"\\]")
  message(FATAL_ERROR "VELORA_PUBLISHER may not hold a double quote or a backslash")
endif()
if(VELORA_PUBLISHER STREQUAL "")
  message(WARNING
    "\n*** VELORA_PUBLISHER is empty: the launcher starts installers WITHOUT checking their "
    "code signature. Whoever answers for the update server (a hostile network, proxy or name "
    "server) then decides which program runs with administrator rights. Build this way only "
    "for a vendor that does not sign its installers. ***\n")
else()
  message(STATUS "Installers must be signed by: ${VELORA_PUBLISHER}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/velora_endpoints.h.in
               ${PROJECT_BINARY_DIR}/generated/velora_endpoints.h @ONLY)
