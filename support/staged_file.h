#pragma once
// A file that takes its place in one step: written beside its destination
// under a temporary name, checked there if need be, and then moved over the
// destination, so that a reader of the destination (the launcher, a web
// server) sees the old file or the new one, never a part of one.
#include <windows.h>

#include <cstddef>
#include <string>

// The temporary name beside `destination` (destination + ".tmp").
std::wstring staged_path(const std::wstring& destination);

// Which step of writing a whole file failed.
enum class file_write_step { none, open, write, close };

struct file_write_result {
  file_write_step failed = file_write_step::none;
  DWORD error = 0;      // the Windows error of the failed step
  size_t written = 0;   // bytes the system took

  explicit operator bool() const { return failed == file_write_step::none; }
};

// Creates or truncates `path`, writes `size` bytes and closes it. A write the
// system takes only in part and a failed close (the data did not reach the
// disk) are failures too; the file is left as it is, for the caller to
// delete.
file_write_result write_whole_file(const std::wstring& path, const void* data, size_t size);

// The same for a file that must not exist yet: the open fails on any entry
// already named `path` (a file, or a link to anywhere), and never follows one.
file_write_result write_new_file(const std::wstring& path, const void* data, size_t size);

// "open", "write" or "close", for log lines and messages.
const wchar_t* file_write_step_name(file_write_step step);

struct file_move_result {
  bool moved = false;
  DWORD error = 0;  // the thread's last-error code right after the move
};

// Moves `staged` over `destination` in one step (replacing it, written
// through to the disk before the call returns).
file_move_result move_into_place(const std::wstring& staged, const std::wstring& destination);
