#include "tests/fixtures_dll/load_marker.h"

#include "framework/afx_handle.h"

#include <string>

void write_load_marker(HMODULE self) {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const std::wstring marker = std::wstring(path) + kLoadMarkerSuffix;
  afx_file_handle file(
      ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}
