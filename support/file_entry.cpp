#include "support/file_entry.h"

#include "framework/afx_handle.h"
#include "support/final_path.h"
#include "support/path_utils.h"

#include <windows.h>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The entry itself, file or folder, and not what a link there leads to.
constexpr DWORD kOpenEntry = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

afx_file_handle open_entry(const std::wstring& path, DWORD access) {
  return afx_file_handle(::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, kOpenEntry, nullptr));
}

bool is_reparse_point(HANDLE entry) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return ::GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof(tag)) &&
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// True when the handle opened under `path` is known by that very name: the
// folder the name sits in, as the system names it, followed by the name.
// Where the system followed a link on opening, the handle is the target's.
bool named_as_opened(HANDLE entry, const std::wstring& path) {
  const afx_file_handle folder(::CreateFileW(parent_directory(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const std::wstring folder_path = final_path_of(folder.Get());
  const std::wstring entry_path = final_path_of(entry);
  if (folder_path.empty() || entry_path.empty()) return false;
  std::wstring expected = folder_path;
  if (expected.back() != L'\\') expected += L'\\';
  return same_path_text(entry_path, expected + file_name_of(path));
}

}  // namespace

entry_kind examine_entry(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    // A link whose target is gone reads as missing too; whoever then creates
    // the name anew must still refuse an existing entry.
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? entry_kind::missing : entry_kind::linked;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return entry_kind::linked;
  const afx_file_handle entry = open_entry(path, FILE_READ_ATTRIBUTES);
  // What cannot be looked at cannot be vouched for.
  if (!entry.IsValid()) return entry_kind::linked;
  if (is_reparse_point(entry.Get())) return entry_kind::linked;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(entry.Get(), &information)) return entry_kind::linked;
  if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && information.nNumberOfLinks > 1) {
    return entry_kind::linked;
  }
  return named_as_opened(entry.Get(), path) ? entry_kind::plain : entry_kind::linked;
}

bool remove_entry_itself(const std::wstring& path) {
  const afx_file_handle entry = open_entry(path, DELETE | FILE_READ_ATTRIBUTES);
  if (!entry.IsValid()) return false;
  if (!is_reparse_point(entry.Get())) {
    // Not a link as opened: either a file or folder of its own, or a link the
    // system followed, whose target this handle is. Only the first may go,
    // and only a file: a real folder is nobody's name to throw away here.
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(entry.Get(), &information)) return false;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    if (!named_as_opened(entry.Get(), path)) return false;
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  return ::SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}
