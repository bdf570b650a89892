#include "tools/vl6publish/console_text.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

void write_to(DWORD which, const std::wstring& text) {
  const HANDLE stream = ::GetStdHandle(which);
  if (stream == nullptr || stream == INVALID_HANDLE_VALUE || text.empty()) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(stream, &mode)) {
    ::WriteConsoleW(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const int length = static_cast<int>(text.size());
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return;
  std::vector<char> bytes(static_cast<size_t>(needed));
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
  ::WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void write_out(const std::wstring& text) { write_to(STD_OUTPUT_HANDLE, text); }

void write_error(const std::wstring& text) { write_to(STD_ERROR_HANDLE, text); }
