#pragma once
// Starting and watching other programs from a test.
#include "framework/afx_handle.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class test_process {
public:
  // Starts `program` with `arguments` (the text after the program name).
  // Throws when the program cannot be started.
  test_process(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& working_folder = L"");

  DWORD id() const { return id_; }
  HANDLE handle() const { return process_.Get(); }

  // Waits for the end; returns false on time-out. `exit_code` gets the code.
  bool wait(DWORD timeout_ms, DWORD* exit_code = nullptr) const;
  bool running() const;

  // Ends the process if it still runs.
  void kill();

private:
  afx_kernel_handle process_;
  DWORD id_ = 0;
};

// The first visible top-level window of `class_name` owned by process `pid`,
// polled until `timeout_ms` passes; null when none appeared.
HWND wait_for_window(DWORD pid, const wchar_t* class_name, DWORD timeout_ms);

// Any top-level window (visible or not) owned by process `pid`, or null.
HWND find_any_window(DWORD pid);

// The class of dialog boxes: message boxes, WinINet's credentials dialog.
extern const wchar_t kDialogBoxClass[];

// The children of `parent` of class `class_name`, in z order.
std::vector<HWND> child_windows(HWND parent, const wchar_t* class_name);

std::wstring window_text(HWND window);

// Asks `done` every 10 ms until it answers true (true) or `timeout_ms` has
// passed (false): the tests wait for what they watch, never for a fixed time.
bool poll(const std::function<bool()>& done, DWORD timeout_ms);
