#include "support/held_file.h"

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
  BY_HANDLE_FILE_INFORMATION information;
  if (handle_.IsValid() && ::GetFileInformationByHandle(handle_.Get(), &information)) {
    identity_ = {true, information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
  }
}

bool held_file::SameFileAs(const held_file& other) const {
  return IsHeld() && other.IsHeld() && identity_.known && identity_ == other.identity_;
}

bool held_file::file_identity::operator==(const file_identity& other) const {
  return known == other.known && volume == other.volume && index_high == other.index_high &&
         index_low == other.index_low;
}
