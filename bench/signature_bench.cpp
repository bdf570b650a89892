// The launcher's publisher check on one held file, timed, for bench/run:
//   signature_bench FILE PUBLISHER [RUNS] [warm]
// prints the first check's time (in a fresh process Wine builds its list of
// trusted roots first, as the launcher's first check does), the best of the
// RUNS - 1 checks after it, and the verdict. With "warm" the check's warm-up
// (what the downloader starts while a download runs) comes first, and its
// own time is printed too. Exit code 0 when the file passed.
#include "bench/bench_windows.h"
#include "support/held_file.h"
#include "support/publisher_check_warm_up.h"
#include "support/publisher_signature.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int kDefaultRuns = 5;
const wchar_t kWarmOption[] = L"warm";

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: signature_bench FILE PUBLISHER [RUNS] [warm]\n");
    return 2;
  }
  const int runs = std::max(2, argc > 3 ? static_cast<int>(std::wcstol(argv[3], nullptr, 10)) : kDefaultRuns);
  if (argc > 4 && std::wcscmp(argv[4], kWarmOption) == 0) {
    const LARGE_INTEGER start = bench::now();
    publisher_check_warm_up warm_up;
    warm_up.Wait();
    std::printf("warm-up: %.1f ms\n", bench::milliseconds(start, bench::now()));
  }
  const held_file file(argv[1]);
  double first = 0;
  double later = 0;
  signature_verdict verdict;
  for (int run = 0; run < runs; ++run) {
    const LARGE_INTEGER start = bench::now();
    verdict = check_publisher_signature(file, argv[2]);
    const double elapsed = bench::milliseconds(start, bench::now());
    if (run == 0) {
      first = elapsed;
    } else if (run == 1 || elapsed < later) {
      later = elapsed;
    }
  }
  std::printf("first check: %.1f ms\n", first);
  std::printf("later checks, best: %.1f ms\n", later);
  std::printf("verdict: %ls, step %ls, result 0x%08lX, signer %ls\n", verdict.trusted ? L"accepted" : L"refused",
              verdict.step_name(), static_cast<unsigned long>(verdict.result), verdict.signer.describe().c_str());
  return verdict.trusted ? 0 : 1;
}
