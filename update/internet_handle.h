#pragma once
// Owner of one WinINet handle (session, connection or request).
#include "framework/afx_handle.h"
#include "support/system_libraries.h"

struct internet_handle_traits {
  using handle_type = HINTERNET;
  static HINTERNET null() noexcept { return nullptr; }
  static bool is_valid(HINTERNET h) noexcept { return h != nullptr; }
  static void close(HINTERNET h) noexcept {
    // A handle exists only if the library was loaded, so the table is there.
    if (const wininet_functions* wininet = wininet_library()) wininet->InternetCloseHandle(h);
  }
};
using internet_handle = afx_scoped_handle<internet_handle_traits>;
