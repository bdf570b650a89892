#pragma once
// What the launcher asks an update server for, below the server's address.
// The address itself is the caller's: the launcher's is a build setting
// (cmake -DVELORA_UPDATE_SERVER=...; see cmake/endpoints.cmake) that app/
// hands down to the workflows, which ask
// CInstallerDownloader::DownloadLtFile for the manifest there.

#define VELORA_MANIFEST_PATH "/launcher/installer6.lt"
#define VELORA_MANIFEST_QUERY "?scode=R7QD"
// The manifest's detached signature lies beside it (see manifest_signing.h).
#define VELORA_MANIFEST_SIGNATURE_SUFFIX ".p7s"

// Where a server keeps the manifest, and what the launcher asks for below
// the server's address. The edition code's capitals are lower-cased by URL
// parsing, so the request goes out as /launcher/installer6.lt?scode=r7qd.
inline constexpr const char kManifestPath[] = VELORA_MANIFEST_PATH;
inline constexpr const char kManifestTarget[] = VELORA_MANIFEST_PATH VELORA_MANIFEST_QUERY;
inline constexpr const char kManifestSignaturePath[] = VELORA_MANIFEST_PATH VELORA_MANIFEST_SIGNATURE_SUFFIX;
inline constexpr const char kManifestSignatureTarget[] =
    VELORA_MANIFEST_PATH VELORA_MANIFEST_SIGNATURE_SUFFIX VELORA_MANIFEST_QUERY;
