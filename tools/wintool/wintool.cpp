// Small window helper for the demo and screenshots, run under Wine:
//   wintool wait-window CLASS TIMEOUT_MS [CHILD_ID]
//       waits for a visible window of CLASS (with a child control CHILD_ID
//       whose text is not empty, when given) and prints its screen
//       rectangle as "LEFT TOP WIDTH HEIGHT"
//   wintool close-window CLASS            asks every window of CLASS to close
//   wintool is-enabled CLASS CONTROL_ID   exit 0 when that control is enabled
//   wintool windows CLASS
//       what the program that owns the window of CLASS runs on, as it sees
//       it: "wow64 yes|no" (IsWow64Process on that process: a 32-bit program
//       on 64-bit Windows), then "native x64|x86|..." (GetNativeSystemInfo)
// Exit code 0 on success, 1 when no such window was found in time, 2 on misuse.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct search {
  const wchar_t* class_name;
  int child_id;  // 0: any window of the class
  HWND found;
};

bool has_text(HWND window) { return ::GetWindowTextLengthW(window) > 0; }

BOOL CALLBACK find_visible(HWND window, LPARAM context) {
  auto* s = reinterpret_cast<search*>(context);
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 255);
  if (std::wcscmp(name, s->class_name) != 0 || !::IsWindowVisible(window)) return TRUE;
  if (s->child_id != 0) {
    const HWND child = ::GetDlgItem(window, s->child_id);
    if (!child || !has_text(child)) return TRUE;
  }
  s->found = window;
  return FALSE;
}

HWND find_window(const wchar_t* class_name, int child_id = 0) {
  search s{class_name, child_id, nullptr};
  ::EnumWindows(&find_visible, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 4 && std::wcscmp(argv[1], L"wait-window") == 0) {
    const DWORD timeout = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    const int child_id = argc >= 5 ? static_cast<int>(std::wcstol(argv[4], nullptr, 10)) : 0;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeout) {
      if (HWND window = find_window(argv[2], child_id)) {
        RECT rect{};
        ::GetWindowRect(window, &rect);
        std::wprintf(L"%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top);
        return 0;
      }
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
  if (argc >= 4 && std::wcscmp(argv[1], L"is-enabled") == 0) {
    const HWND window = find_window(argv[2]);
    const HWND control = window ? ::GetDlgItem(window, static_cast<int>(std::wcstol(argv[3], nullptr, 10)))
                                : nullptr;
    return control && ::IsWindowEnabled(control) ? 0 : 1;
  }
  if (argc >= 3 && std::wcscmp(argv[1], L"windows") == 0) {
    const HWND window = find_window(argv[2]);
    DWORD process_id = 0;
    if (!window || !::GetWindowThreadProcessId(window, &process_id)) return 1;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (!process) return 1;
    BOOL wow64 = FALSE;
    const BOOL asked = ::IsWow64Process(process, &wow64);
    ::CloseHandle(process);
    if (!asked) return 1;
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    const wchar_t* native = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64   ? L"x64"
                            : info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL ? L"x86"
                                                                                          : L"other";
    std::wprintf(L"wow64 %ls\nnative %ls\n", wow64 ? L"yes" : L"no", native);
    return 0;
  }
  std::fwprintf(stderr,
                L"usage: wintool wait-window CLASS TIMEOUT_MS [CHILD_ID] | close-window CLASS | "
                L"is-enabled CLASS CONTROL_ID | windows CLASS\n");
  return 2;
}
