// The manifest's round trip with and without its signature, timed, for
// bench/run manifest:
//   manifest_bench UPDATE_SERVER PUBLISHER ROUNDS
// asks the update server (scheme, host, port) for its manifest with
// CInstallerDownloader::DownloadLtFile as a launcher built without and one
// built with VELORA_SIGNED_MANIFEST does: the plain request alone, and the
// manifest, its signature and their checks (the signer judged, the freshness
// line read, the serial kept in the registry, as the launcher keeps it). One
// plain round trip first warms up WinINet and the connection; the first
// signed one, which loads crypt32 and builds Wine's list of trusted roots,
// is printed apart; then ROUNDS of each, in turns.
#include "bench/bench_windows.h"
#include "support/publisher_roots.h"
#include "update/installer_downloader.h"
#include "update/manifest_serial_store.h"
#include "velora_version.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Kept apart from the launcher's own serial.
const wchar_t kBenchSerialKey[] = L"Software\\Velora\\LauncherBench";

manifest_signing signed_by(const std::wstring& publisher) {
  manifest_signing signing;
  signing.required = true;
  signing.publisher = publisher;
  signing.roots = build_publisher_roots();
  signing.serials = std::make_shared<registry_serial_store>(kBenchSerialKey);
  signing.launcher_version = VELORA_VERSION_TEXT;
  return signing;
}

// One round trip's milliseconds, or a negative number when it failed.
double round_trip(const std::wstring& server, const manifest_signing& signing) {
  const LARGE_INTEGER start = bench::now();
  CInstallerDownloader downloader(std::wstring(), signing);
  const bool read = downloader.DownloadLtFile(nullptr, server);
  const double elapsed = bench::milliseconds(start, bench::now());
  return read ? elapsed : -1.0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: manifest_bench UPDATE_SERVER PUBLISHER ROUNDS\n");
    return 2;
  }
  const std::wstring server = argv[1];
  const manifest_signing plain;
  const manifest_signing signing = signed_by(argv[2]);
  const int rounds = std::max(1, _wtoi(argv[3]));

  if (round_trip(server, plain) < 0) {
    std::fprintf(stderr, "manifest_bench: the plain manifest could not be read\n");
    return 1;
  }
  const double first_signed = round_trip(server, signing);
  if (first_signed < 0) {
    std::fprintf(stderr, "manifest_bench: the signed manifest was refused\n");
    return 1;
  }
  double plain_total = 0, signed_total = 0;
  for (int round = 0; round < rounds; ++round) {
    const double plain_ms = round_trip(server, plain);
    const double signed_ms = round_trip(server, signing);
    if (plain_ms < 0 || signed_ms < 0) {
      std::fprintf(stderr, "manifest_bench: round %d failed\n", round);
      return 1;
    }
    plain_total += plain_ms;
    signed_total += signed_ms;
  }
  std::printf("first signed: %.2f\n", first_signed);
  std::printf("plain mean: %.3f\n", plain_total / rounds);
  std::printf("signed mean: %.3f\n", signed_total / rounds);
  ::RegDeleteKeyW(HKEY_CURRENT_USER, kBenchSerialKey);
  return 0;
}
