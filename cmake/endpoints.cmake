# The addresses the launcher talks to or opens, set at build time in one place.
# Tests and the demo build with the local update server's loopback address.
set(VELORA_UPDATE_SERVER "http://update.camberly.co.jp" CACHE STRING
    "Scheme, host and optional port of the update server (no trailing slash)")
set(VELORA_SUPPORT_SITE "http://www.camberly.co.jp" CACHE STRING
    "The vendor's web server; its support page is /cs/")
set(VELORA_READER_SITE "https://www.adobe.com" CACHE STRING
    "The PDF reader vendor's web server; its download page is /products/acrobat/readstep2.html")
configure_file(${CMAKE_CURRENT_LIST_DIR}/velora_endpoints.h.in
               ${PROJECT_BINARY_DIR}/generated/velora_endpoints.h @ONLY)
