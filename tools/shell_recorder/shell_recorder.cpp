// Registered (inside a test Wine prefix only) as the program that opens PDF
// files and http/https URLs, so that tests see what the shell really started.
// Appends its argument text, one line per start (UTF-8), to the file named by
// VELORA_SHELL_RECORD, else to shell-record.txt beside itself.
#include <windows.h>

#include <string>

namespace {

std::string utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  bytes.resize(static_cast<size_t>(size - 1));
  return bytes;
}

std::wstring record_path() {
  wchar_t value[MAX_PATH * 4] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"VELORA_SHELL_RECORD", value, MAX_PATH * 4);
  if (length > 0 && length < MAX_PATH * 4) return value;
  wchar_t path[MAX_PATH * 4] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring record = path;
  record.erase(record.rfind(L'\\') + 1);
  return record + L"shell-record.txt";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int) {
  const std::string line = utf8(arguments) + "\r\n";
  HANDLE file = ::CreateFileW(record_path().c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
  return 0;
}
