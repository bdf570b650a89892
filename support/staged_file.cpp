#include "support/staged_file.h"

#include "framework/afx_handle.h"

#include <algorithm>

namespace {

const wchar_t kStagedSuffix[] = L".tmp";
constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
// The largest piece handed to one WriteFile: its count is a DWORD.
constexpr size_t kLargestWrite = 1u << 30;

file_write_result write_file(const std::wstring& path, DWORD disposition, DWORD flags, const void* data,
                             size_t size) {
  file_write_result result;
  afx_file_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                     FILE_ATTRIBUTE_NORMAL | flags, nullptr));
  if (!file.IsValid()) {
    result.failed = file_write_step::open;
    result.error = ::GetLastError();
    return result;
  }
  const char* next = static_cast<const char*>(data);
  while (result.written < size) {
    const DWORD piece = static_cast<DWORD>(std::min(size - result.written, kLargestWrite));
    DWORD taken = 0;
    // A write the system takes only in part (a disk or a quota that fills)
    // reports success with fewer bytes; the next one then says why.
    if (!::WriteFile(file.Get(), next + result.written, piece, &taken, nullptr) || taken == 0) {
      result.failed = file_write_step::write;
      result.error = ::GetLastError();
      return result;
    }
    result.written += taken;
  }
  // The file system may report what it could not store only now.
  if (!::CloseHandle(file.Take())) {
    result.failed = file_write_step::close;
    result.error = ::GetLastError();
  }
  return result;
}

}  // namespace

std::wstring staged_path(const std::wstring& destination) { return destination + kStagedSuffix; }

file_write_result write_whole_file(const std::wstring& path, const void* data, size_t size) {
  return write_file(path, CREATE_ALWAYS, 0, data, size);
}

file_write_result write_new_file(const std::wstring& path, const void* data, size_t size) {
  // CREATE_NEW fails on any entry of that name, a link included, and opening
  // the entry itself keeps a link planted meanwhile from being followed.
  return write_file(path, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT, data, size);
}

const wchar_t* file_write_step_name(file_write_step step) {
  switch (step) {
    case file_write_step::open:
      return L"open";
    case file_write_step::write:
      return L"write";
    case file_write_step::close:
      return L"close";
    case file_write_step::none:
      break;
  }
  return L"none";
}

file_move_result move_into_place(const std::wstring& staged, const std::wstring& destination) {
  file_move_result result;
  result.moved = ::MoveFileExW(staged.c_str(), destination.c_str(), kMoveFlags) != FALSE;
  result.error = ::GetLastError();
  return result;
}
