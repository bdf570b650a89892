#pragma once
// Where the launcher asks for the newest installer and manual. The server's
// address is chosen at build time (cmake -DVELORA_UPDATE_SERVER=...; see
// cmake/endpoints.cmake); the manifest's path and edition code are fixed.
#include "velora_endpoints.h"

#define VELORA_MANIFEST_PATH "/launcher/installer6.lt"
#define VELORA_MANIFEST_QUERY "?scode=R7QD"

// Where a server keeps the manifest, and what the launcher asks for below
// the server's address. The edition code's capitals are lower-cased by URL
// parsing, so the request goes out as /launcher/installer6.lt?scode=r7qd.
inline constexpr const char kManifestPath[] = VELORA_MANIFEST_PATH;
inline constexpr const char kManifestTarget[] = VELORA_MANIFEST_PATH VELORA_MANIFEST_QUERY;
inline constexpr const char kManifestUrl[] = VELORA_UPDATE_SERVER VELORA_MANIFEST_PATH VELORA_MANIFEST_QUERY;
