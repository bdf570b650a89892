#include "support/folder_tree.h"

#include "support/file_exists.h"

#include <windows.h>

namespace {

constexpr wchar_t kSeparator = L'\\';

// "C:\a\b\" -> "C:\a\"; empty when nothing is above.
std::wstring folder_above(const std::wstring& folder) {
  if (folder.size() < 2) return std::wstring();
  const size_t separator = folder.rfind(kSeparator, folder.size() - 2);
  if (separator == std::wstring::npos) return std::wstring();
  return folder.substr(0, separator + 1);
}

}  // namespace

bool make_folder_tree(const std::wstring& folder) {
  if (folder.empty()) return false;
  // The directory search refuses a text ending in a backslash, so an existing
  // folder is usually recognised by ERROR_ALREADY_EXISTS below.
  if (directory_exists(folder)) return true;
  if (::CreateDirectoryW(folder.c_str(), nullptr)) return true;
  switch (::GetLastError()) {
    case ERROR_ALREADY_EXISTS:
      return true;
    case ERROR_PATH_NOT_FOUND:
      break;
    default:
      return false;
  }
  if (!make_folder_tree(folder_above(folder))) return false;
  return ::CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
}
