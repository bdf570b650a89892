#pragma once
// Where the launcher asks for the newest installer and manual. The server's
// address is chosen at build time (cmake -DVELORA_UPDATE_SERVER=...; see
// cmake/endpoints.cmake); the manifest's path and edition code are fixed.
#include "velora_endpoints.h"

// The edition code's capitals are lower-cased by URL parsing, so the
// request goes out as /launcher/installer6.lt?scode=r7qd.
inline constexpr const char kManifestUrl[] = VELORA_UPDATE_SERVER "/launcher/installer6.lt?scode=R7QD";
