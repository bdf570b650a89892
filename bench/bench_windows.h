#pragma once
// What the benchmark programs share: the performance clock, and finding a
// process's window of one class once it is shown and painted.
#include <windows.h>

#include <cwchar>

namespace bench {

inline LARGE_INTEGER now() {
  LARGE_INTEGER value;
  ::QueryPerformanceCounter(&value);
  return value;
}

inline double milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

struct window_search {
  DWORD pid;
  const wchar_t* class_name;
  HWND found;
};

inline BOOL CALLBACK match_window(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<window_search*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 255);
  if (owner == search->pid && std::wcscmp(name, search->class_name) == 0 && ::IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The visible window of `class_name` that process `pid` owns, or null.
inline HWND visible_window(DWORD pid, const wchar_t* class_name) {
  window_search search{pid, class_name, nullptr};
  ::EnumWindows(&match_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// That window once nothing is left to paint in it, looked for every
// millisecond; null when `timeout_ms` passes first.
inline HWND painted_window(DWORD pid, const wchar_t* class_name, DWORD timeout_ms) {
  const LARGE_INTEGER start = now();
  while (milliseconds(start, now()) < timeout_ms) {
    const HWND window = visible_window(pid, class_name);
    if (window && !::GetUpdateRect(window, nullptr, FALSE)) return window;
    ::Sleep(1);
  }
  return nullptr;
}

}  // namespace bench
