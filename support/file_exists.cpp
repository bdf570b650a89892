#include "support/file_exists.h"

#include "framework/afx_handle.h"

#include <windows.h>

namespace {

// The search's record of the first name it finds, or false.
bool first_found(const std::wstring& path, WIN32_FIND_DATAW& found) {
  const afx_find_handle search(::FindFirstFileW(path.c_str(), &found));
  return search.IsValid();
}

}  // namespace

bool path_exists(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  return first_found(path, found);
}

bool directory_exists(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  return first_found(path, found) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
