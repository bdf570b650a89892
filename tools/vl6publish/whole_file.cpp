#include "tools/vl6publish/whole_file.h"

#include "framework/afx_handle.h"

bool read_whole_file(const std::wstring& path, std::vector<char>& bytes) {
  afx_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size)) return false;
  if (size.QuadPart > MAXDWORD) {
    ::SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  std::vector<char> read_bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!read_bytes.empty()) {
    if (!::ReadFile(file.Get(), read_bytes.data(), static_cast<DWORD>(read_bytes.size()), &read, nullptr)) {
      return false;
    }
    if (read != read_bytes.size()) {
      ::SetLastError(ERROR_READ_FAULT);
      return false;
    }
  }
  bytes.swap(read_bytes);
  return true;
}
