#include "support/final_path.h"

#include <cwchar>
#include <vector>

namespace {

const wchar_t kLocalPrefix[] = L"\\\\?\\";
const wchar_t kNetworkPrefix[] = L"\\\\?\\UNC\\";
const wchar_t kNetworkStart[] = L"\\\\";

bool starts_with(const std::wstring& text, const wchar_t* head) {
  return text.compare(0, std::wcslen(head), head) == 0;
}

}  // namespace

std::wstring final_path_of(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return std::wstring();
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      if (starts_with(path, kNetworkPrefix)) return kNetworkStart + path.substr(std::wcslen(kNetworkPrefix));
      if (starts_with(path, kLocalPrefix)) return path.substr(std::wcslen(kLocalPrefix));
      return path;
    }
    buffer.resize(length + 1);
  }
}

bool same_path_text(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}
