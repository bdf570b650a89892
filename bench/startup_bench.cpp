// Starts a program, waits until its window of CLASS is shown and painted,
// closes it and waits for the end; repeats and prints the median times.
//   startup_bench PROGRAM CLASS RUNS [ARGUMENTS]
// "Painted": the window is visible and has no update region left.
#include "bench/bench_windows.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 30000;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: startup_bench PROGRAM CLASS RUNS [ARGUMENTS]\n");
    return 2;
  }
  const std::wstring program = argv[1];
  const int runs = std::max(1, static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
  const std::wstring arguments = argc > 4 ? argv[4] : L"";
  std::vector<double> painted, total;
  for (int run = 0; run < runs; ++run) {
    std::wstring command = L"\"" + program + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    LARGE_INTEGER start, shown, ended;
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info)) {
      std::fprintf(stderr, "cannot start the program (%lu)\n", ::GetLastError());
      return 1;
    }
    ::CloseHandle(info.hThread);
    const HWND window = bench::painted_window(info.dwProcessId, argv[2], kTimeoutMs);
    if (!window) {
      std::fprintf(stderr, "no painted window\n");
      ::TerminateProcess(info.hProcess, 1);
      return 1;
    }
    ::QueryPerformanceCounter(&shown);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(info.hProcess, kTimeoutMs);
    ::QueryPerformanceCounter(&ended);
    ::CloseHandle(info.hProcess);
    painted.push_back(bench::milliseconds(start, shown));
    total.push_back(bench::milliseconds(start, ended));
  }
  std::printf("first paint: %.1f\n", median(painted));
  std::printf("start to end: %.1f\n", median(total));
  return 0;
}
