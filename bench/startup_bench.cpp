// Starts a program, waits until its window of CLASS is shown and painted,
// closes it and waits for the end; repeats and prints the median times.
//   startup_bench PROGRAM CLASS RUNS [ARGUMENTS]
// "Painted": the window is visible and has no update region left.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 30000;

struct search {
  DWORD pid;
  const wchar_t* class_name;
  HWND found;
};

BOOL CALLBACK match(HWND window, LPARAM context) {
  auto* s = reinterpret_cast<search*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 255);
  if (owner == s->pid && std::wcscmp(name, s->class_name) == 0 && ::IsWindowVisible(window)) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

double milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

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
    search s{info.dwProcessId, argv[2], nullptr};
    for (;;) {
      s.found = nullptr;
      ::EnumWindows(&match, reinterpret_cast<LPARAM>(&s));
      if (s.found && !::GetUpdateRect(s.found, nullptr, FALSE)) break;
      LARGE_INTEGER now;
      ::QueryPerformanceCounter(&now);
      if (milliseconds(start, now) > kTimeoutMs) {
        std::fprintf(stderr, "no painted window\n");
        ::TerminateProcess(info.hProcess, 1);
        return 1;
      }
      ::Sleep(1);
    }
    ::QueryPerformanceCounter(&shown);
    ::PostMessageW(s.found, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(info.hProcess, kTimeoutMs);
    ::QueryPerformanceCounter(&ended);
    ::CloseHandle(info.hProcess);
    painted.push_back(milliseconds(start, shown));
    total.push_back(milliseconds(start, ended));
  }
  std::printf("first paint: %.1f\n", median(painted));
  std::printf("start to end: %.1f\n", median(total));
  return 0;
}
