#pragma once
// WinINet's credentials dialog, as a user would answer it.
#include <windows.h>

#include <future>
#include <string>

// A top-level window of the test to own the dialog.
class owner_window {
public:
  owner_window();
  owner_window(const owner_window&) = delete;
  owner_window& operator=(const owner_window&) = delete;
  ~owner_window();
  HWND get() const { return window_; }

private:
  HWND window_;
};

// Waits (up to 20 s) for a dialog box of process `process_id` (this process
// when 0); types the user name and password into its first two edit fields
// and presses OK, or cancels it. True when a dialog was found.
std::future<bool> answer_credentials_dialog(const std::wstring& user, const std::wstring& password,
                                            bool cancel, DWORD process_id = 0);
