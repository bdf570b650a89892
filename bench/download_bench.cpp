// One verified download into the cache, timed, for bench/run:
//   download_bench URL DESTINATION MD5
// runs CInstallerDownloader::DownloadFile (the folder made, the body fetched
// with 1023-byte reads, written to DESTINATION.tmp, digested and moved) and
// prints its time and the process's peak memory.
#include "update/installer_downloader.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

double seconds_since(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: download_bench URL DESTINATION MD5\n");
    return 2;
  }
  LARGE_INTEGER start;
  ::QueryPerformanceCounter(&start);
  CInstallerDownloader downloader{std::wstring()};
  const bool downloaded = downloader.DownloadFile(nullptr, argv[1], argv[2], argv[3]);
  const double elapsed = seconds_since(start);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  std::printf("result: %d\n", downloaded ? 1 : 0);
  std::printf("seconds: %.3f\n", elapsed);
  std::printf("peak private: %.1f\n", memory.PeakPagefileUsage / kMiB);
  std::printf("peak working set: %.1f\n", memory.PeakWorkingSetSize / kMiB);
  return downloaded ? 0 : 1;
}
