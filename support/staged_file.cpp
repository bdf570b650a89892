#include "support/staged_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

const wchar_t kStagedSuffix[] = L".tmp";
const wchar_t kWriteBinary[] = L"wb";
constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// Closes on scope exit unless the close was already taken (and checked).
struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_stream = std::unique_ptr<std::FILE, file_closer>;

}  // namespace

std::wstring staged_path(const std::wstring& destination) { return destination + kStagedSuffix; }

file_write_result write_whole_file(const std::wstring& path, const void* data, size_t size) {
  file_write_result result;
  errno = 0;
  file_stream file(_wfopen(path.c_str(), kWriteBinary));
  if (!file) {
    result.failed = file_write_step::open;
    result.error = errno;
    return result;
  }
  errno = 0;
  result.written = std::fwrite(data, 1, size, file.get());
  if (result.written != size) {
    result.failed = file_write_step::write;
    result.error = errno;
    return result;
  }
  // Buffered bytes reach the disk only here: a full disk may show first now.
  errno = 0;
  if (std::fclose(file.release()) != 0) {
    result.failed = file_write_step::close;
    result.error = errno;
  }
  return result;
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
