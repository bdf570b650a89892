// Small window helper for the demo and screenshots, run under Wine:
//   wintool wait-window CLASS TIMEOUT_MS   waits for a visible window of CLASS
//   wintool close-window CLASS            asks every window of CLASS to close
// Exit code 0 on success, 1 when no such window was found in time, 2 on misuse.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct search {
  const wchar_t* class_name;
  HWND found;
};

BOOL CALLBACK find_visible(HWND window, LPARAM context) {
  auto* s = reinterpret_cast<search*>(context);
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 255);
  if (std::wcscmp(name, s->class_name) == 0 && ::IsWindowVisible(window)) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND find_window(const wchar_t* class_name) {
  search s{class_name, nullptr};
  ::EnumWindows(&find_visible, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 4 && std::wcscmp(argv[1], L"wait-window") == 0) {
    const DWORD timeout = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeout) {
      if (find_window(argv[2])) return 0;
      ::Sleep(50);
    }
    return 1;
  }
  if (argc >= 3 && std::wcscmp(argv[1], L"close-window") == 0) {
    int closed = 0;
    while (HWND window = find_window(argv[2])) {
      ::PostMessageW(window, WM_CLOSE, 0, 0);
      ++closed;
      for (int i = 0; i < 100 && ::IsWindow(window) && ::IsWindowVisible(window); ++i) ::Sleep(20);
      if (closed > 16) break;
    }
    return closed > 0 ? 0 : 1;
  }
  std::fwprintf(stderr, L"usage: wintool wait-window CLASS TIMEOUT_MS | close-window CLASS\n");
  return 2;
}
