#include "support/held_file.h"

#include "support/file_entry.h"
#include "support/final_path.h"

namespace {

DWORD sharing_of(held_file::hold_kind kind) {
  return kind == held_file::movable ? FILE_SHARE_READ | FILE_SHARE_DELETE : FILE_SHARE_READ;
}

}  // namespace

held_file::held_file(const std::wstring& path, hold_kind kind)
    : path_(path),
      handle_(::CreateFileW(path.c_str(), GENERIC_READ, sharing_of(kind), nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)),
      hold_error_(handle_.IsValid() ? ERROR_SUCCESS : ::GetLastError()) {
  if (!handle_.IsValid()) return;
  identity_ = identity_of(handle_.Get());
  final_path_ = final_path_of(handle_.Get());
}

held_file::file_identity held_file::identity_of(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(file, &information)) return file_identity();
  return {true, information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
}

void held_file::Moved(const std::wstring& path) {
  path_ = path;
  final_path_ = final_path_of(handle_.Get());
}

bool held_file::StillAtFinalPath() const {
  if (!IsHeld() || final_path_.empty()) return false;
  return same_path_text(final_path_of(handle_.Get()), final_path_);
}

bool held_file::ReleaseAndDelete() {
  const bool was_held = IsHeld();
  const file_identity held = identity_;
  Release();
  if (!was_held || path_.empty()) return false;
  // The name is looked at anew: between the release and here it may have
  // been replaced, and a link there must go as a name, not with its target.
  afx_file_handle now(::CreateFileW(path_.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!now.IsValid() || !held.known || !(identity_of(now.Get()) == held)) return false;
  now.Close();
  return examine_entry(path_) == entry_kind::plain && remove_entry_itself(path_);
}
bool held_file::SameFileAs(const held_file& other) const {
  return IsHeld() && other.IsHeld() && identity_.known && identity_ == other.identity_;
}

bool held_file::file_identity::operator==(const file_identity& other) const {
  return known == other.known && volume == other.volume && index_high == other.index_high &&
         index_low == other.index_low;
}
