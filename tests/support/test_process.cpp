#include "tests/support/test_process.h"

#include <cwchar>
#include <stdexcept>
#include <vector>

test_process::test_process(const std::wstring& program, const std::wstring& arguments,
                           const std::wstring& working_folder) {
  std::wstring command = L"\"" + program + L"\"";
  if (!arguments.empty()) command += L" " + arguments;
  std::vector<wchar_t> mutable_command(command.begin(), command.end());
  mutable_command.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), mutable_command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, working_folder.empty() ? nullptr : working_folder.c_str(),
                        &startup, &info)) {
    throw std::runtime_error("cannot start a test program");
  }
  ::CloseHandle(info.hThread);
  process_.Reset(info.hProcess);
  id_ = info.dwProcessId;
}

bool test_process::wait(DWORD timeout_ms, DWORD* exit_code) const {
  if (::WaitForSingleObject(process_.Get(), timeout_ms) != WAIT_OBJECT_0) return false;
  if (exit_code) ::GetExitCodeProcess(process_.Get(), exit_code);
  return true;
}

bool test_process::running() const { return ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

void test_process::kill() {
  if (running()) {
    ::TerminateProcess(process_.Get(), 1);
    ::WaitForSingleObject(process_.Get(), 5000);
  }
}

namespace {

struct window_search {
  DWORD pid;
  const wchar_t* class_name;  // null: any class
  bool visible_only;
  HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<window_search*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->pid) return TRUE;
  if (search->visible_only && !::IsWindowVisible(window)) return TRUE;
  if (search->class_name) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 255);
    if (std::wcscmp(name, search->class_name) != 0) return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

HWND wait_for_window(DWORD pid, const wchar_t* class_name, DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  do {
    window_search search{pid, class_name, true, nullptr};
    ::EnumWindows(&match_window, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    ::Sleep(20);
  } while (::GetTickCount() - start < timeout_ms);
  return nullptr;
}

HWND find_any_window(DWORD pid) {
  window_search search{pid, nullptr, false, nullptr};
  ::EnumWindows(&match_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

const wchar_t kDialogBoxClass[] = L"#32770";

namespace {

struct child_search {
  const wchar_t* class_name;
  std::vector<HWND>* found;
};

BOOL CALLBACK match_child(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<child_search*>(context);
  wchar_t name[256] = {};
  ::GetClassNameW(child, name, 255);
  if (std::wcscmp(name, search->class_name) == 0) search->found->push_back(child);
  return TRUE;
}

}  // namespace

std::vector<HWND> child_windows(HWND parent, const wchar_t* class_name) {
  std::vector<HWND> children;
  child_search search{class_name, &children};
  ::EnumChildWindows(parent, &match_child, reinterpret_cast<LPARAM>(&search));
  return children;
}

std::wstring window_text(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

bool poll(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  while (!done()) {
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(10);
  }
  return true;
}
