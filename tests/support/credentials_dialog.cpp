#include "tests/support/credentials_dialog.h"

#include "tests/support/test_process.h"

#include <vector>

owner_window::owner_window()
    : window_(::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr)) {}

owner_window::~owner_window() { ::DestroyWindow(window_); }

std::future<bool> answer_credentials_dialog(const std::wstring& user, const std::wstring& password,
                                            bool cancel, DWORD process_id) {
  const DWORD owner = process_id != 0 ? process_id : ::GetCurrentProcessId();
  return std::async(std::launch::async, [=] {
    HWND dialog = wait_for_window(owner, kDialogBoxClass, 20000);
    if (!dialog) return false;
    const std::vector<HWND> edits = child_windows(dialog, L"Edit");
    if (!cancel && edits.size() >= 2) {
      ::SendMessageW(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(user.c_str()));
      ::SendMessageW(edits[1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
    }
    ::PostMessageW(dialog, WM_COMMAND, cancel ? IDCANCEL : IDOK, 0);
    return true;
  });
}
