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
# text, chained to a root in the machine's own Root store. Empty switches the
# check off, and is refused unless VELORA_ALLOW_UNSIGNED_INSTALLERS says so.
set(VELORA_PUBLISHER "Camberly Co., Ltd." CACHE STRING
    "O and CN of the code-signing certificate installers must carry")
option(VELORA_ALLOW_UNSIGNED_INSTALLERS
       "Allow an empty VELORA_PUBLISHER: the launcher then starts installers unchecked" OFF)
# The CA certificates (the vendor's root, or its issuing CA) that the
# publisher's chain must hold at least one of: their SHA-256 thumbprints in
# hex, separated by ";" or ",". Without them any CA the machine trusts could
# issue a certificate bearing the publisher's names. Empty: any root the
# machine trusts.
set(VELORA_PUBLISHER_ROOTS "" CACHE STRING
    "SHA-256 thumbprints (hex) of the CA certificates the publisher's chain must hold one of")
# The manifest signed by the publisher (update/manifest_signing.h): its
# detached signature asked for beside it and checked, its freshness line, the
# serial it carries never lower than one accepted before, and its installer
# never older than the launcher. Off: the manifest is read as it always was.
option(VELORA_SIGNED_MANIFEST "Read only manifests signed by VELORA_PUBLISHER" OFF)
if(VELORA_PUBLISHER MATCHES "[\"\\]")
  message(FATAL_ERROR "VELORA_PUBLISHER may not hold a double quote or a backslash")
endif()

# The thumbprints as the launcher reads them: upper case, separated by commas.
string(REPLACE "," ";" publisher_roots "${VELORA_PUBLISHER_ROOTS}")
set(VELORA_PUBLISHER_ROOTS_TEXT "")
foreach(thumbprint IN LISTS publisher_roots)
  string(STRIP "${thumbprint}" thumbprint)
  string(REPLACE ":" "" thumbprint "${thumbprint}")
  string(TOUPPER "${thumbprint}" thumbprint)
  if(thumbprint STREQUAL "")
    continue()
  endif()
  string(LENGTH "${thumbprint}" digits)
  if(NOT digits EQUAL 64 OR NOT thumbprint MATCHES "^[0-9A-F]+$")
    message(FATAL_ERROR "VELORA_PUBLISHER_ROOTS: \"${thumbprint}\" is not a SHA-256 thumbprint "
                        "(64 hexadecimal digits)")
  endif()
  if(VELORA_PUBLISHER_ROOTS_TEXT STREQUAL "")
    set(VELORA_PUBLISHER_ROOTS_TEXT "${thumbprint}")
  else()
    set(VELORA_PUBLISHER_ROOTS_TEXT "${VELORA_PUBLISHER_ROOTS_TEXT},${thumbprint}")
  endif()
endforeach()

if(VELORA_PUBLISHER STREQUAL "")
  if(NOT VELORA_ALLOW_UNSIGNED_INSTALLERS)
    message(FATAL_ERROR
      "VELORA_PUBLISHER is empty: the launcher would start installers WITHOUT checking their "
      "code signature. Give the publisher's name (-DVELORA_PUBLISHER=...), or, only for a vendor "
      "that cannot sign its installers, -DVELORA_ALLOW_UNSIGNED_INSTALLERS=ON.")
  endif()
  message(WARNING
    "\n*** VELORA_PUBLISHER is empty: the launcher starts installers WITHOUT checking their "
    "code signature. Whoever answers for the update server (a hostile network, proxy or name "
    "server) then decides which program runs with administrator rights. Build this way only "
    "for a vendor that does not sign its installers. ***\n")
else()
  message(STATUS "Installers must be signed by: ${VELORA_PUBLISHER}")
  if(VELORA_PUBLISHER_ROOTS_TEXT STREQUAL "")
    message(WARNING
      "\n*** VELORA_PUBLISHER_ROOTS is empty: an installer passes with a certificate bearing "
      "\"${VELORA_PUBLISHER}\" from ANY certification authority the user's machine trusts, "
      "not only from the vendor's. Pin the vendor's root or issuing CA by its SHA-256 "
      "thumbprint (-DVELORA_PUBLISHER_ROOTS=...). ***\n")
  else()
    message(STATUS "Its chain must hold one of the CA certificates: ${VELORA_PUBLISHER_ROOTS_TEXT}")
  endif()
endif()
if(VELORA_SIGNED_MANIFEST)
  if(VELORA_PUBLISHER STREQUAL "")
    message(FATAL_ERROR
      "VELORA_SIGNED_MANIFEST is ON but VELORA_PUBLISHER is empty: nobody could sign the manifest. "
      "Give the publisher's name (-DVELORA_PUBLISHER=...) or leave VELORA_SIGNED_MANIFEST OFF.")
  endif()
  set(VELORA_SIGNED_MANIFEST_FLAG 1)
  message(STATUS "The manifest must be signed by: ${VELORA_PUBLISHER}")
else()
  set(VELORA_SIGNED_MANIFEST_FLAG 0)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/velora_endpoints.h.in
               ${PROJECT_BINARY_DIR}/generated/velora_endpoints.h @ONLY)
