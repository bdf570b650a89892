#pragma once
// The update-service client of one workflow run: it fetches the update
// server's manifest (an ".lt" file) and keeps the newest installer's and
// manual's MD5 texts and URLs and any newer-generation announcement; it
// downloads a file next to its destination, verifies its MD5 text and only
// then moves it into place.
//
// One object per run, used on the run's worker thread only.
#include "support/publisher_signature.h"
#include "update/download_limits.h"
#include "update/manifest_signing.h"

#include <windows.h>

#include <string>
#include <vector>

class CInstallerDownloader {
public:
  // `publisher` is the signer a downloaded file must have before it may take
  // its destination's place (see publisher_signature.h); empty: not checked.
  // `signing` says whether the manifest must be signed, and by whom (see
  // manifest_signing.h); by default it need not be.
  explicit CInstallerDownloader(std::wstring publisher, manifest_signing signing = manifest_signing());
  CInstallerDownloader(const CInstallerDownloader&) = delete;
  CInstallerDownloader& operator=(const CInstallerDownloader&) = delete;
  virtual ~CInstallerDownloader();

  // Fetches the manifest from the update server at `update_server` (scheme,
  // host and optional port, no trailing slash) and parses it for this
  // system. True when the answer was 200 and the manifest names an installer
  // for this system or a newer generation. The manifest values are reset
  // first; the remembered proxy credentials are kept, and replaced by those
  // in effect after a 200 answer. `parent` owns the credentials dialog. An
  // answer longer than kManifestSizeLimit bytes is a failed request.
  // When signing is required, the manifest's signature is fetched after its
  // 200 answer, through the same client, and a manifest it does not make
  // good is a failed request too (logged at level 5 with the reason: see
  // manifest_signing.h); the highest serial accepted is raised once a
  // manifest is taken.
  bool DownloadLtFile(HWND parent, const std::wstring& update_server);

  // Downloads `url` to `destination` + ".tmp", compares its MD5 text with
  // `expected_md5` (case-insensitively), checks the publisher's signature on
  // it and moves it over `destination`. True only when all of that
  // succeeded. A file that fails either check is deleted and never reaches
  // the destination; a failed move leaves the ".tmp" in place. Creates the
  // destination's folder first. A body larger than `size_limit` bytes is a
  // failed download of which nothing is written (tests pass a smaller limit
  // than the installer's).
  bool DownloadFile(HWND parent, const std::wstring& url, const std::wstring& destination,
                    const std::wstring& expected_md5, size_t size_limit = kInstallerSizeLimit);

  // The file the last successful DownloadFile moved into place, still held
  // (it may be renamed, never written) with the verdict of its publisher
  // check, which the caller may take over for the same file; empty after a
  // failed one, and once taken.
  checked_file TakeCheckedDownload();

  // True when the folder that holds the file `path` exists or was made, with
  // any missing folders above it, from the top down.
  static bool CreateDirectoryTree(const std::wstring& path);

  // Reads a manifest body (read_manifest) for this system (Is64BitOS) / for a
  // 64-bit or a 32-bit system. True when an installer line or a
  // newer-generation line was accepted. Each value the body gives replaces
  // the object's, so a false result may still leave a manual line's values.
  bool ParseManifest(const std::vector<char>& body);
  bool ParseManifest(const std::vector<char>& body, bool system_is_64bit);

  std::wstring GetLatestMd5() const { return latest_md5; }
  std::wstring GetLatestUrl() const { return latest_url; }
  std::wstring GetNewMajorVersion() const { return new_major_version; }
  std::wstring GetNewMajorUrl() const { return new_major_url; }
  std::wstring GetLatestManualMd5() const { return latest_manual_md5; }
  std::wstring GetLatestManualUrl() const { return latest_manual_url; }

  bool new_major_released = false;  // a generation newer than 6 is announced
  std::wstring new_major_version;
  std::wstring new_major_url;
  std::wstring latest_md5;          // the newest installer for this system
  std::wstring latest_url;
  std::wstring latest_manual_md5;   // the newest manual
  std::wstring latest_manual_url;
  std::string proxy_user;           // in effect after this object's last 200
  std::string proxy_password;

private:
  // The signed manifest's checks over `body`; true when it may be read.
  bool AcceptSignedManifest(HWND parent, const std::wstring& update_server, const std::vector<char>& body,
                            manifest_freshness& freshness);

  std::wstring publisher_;
  manifest_signing signing_;
  checked_file checked_download_;
};
