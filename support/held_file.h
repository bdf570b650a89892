#pragma once
// A file held open so that nobody else can change it: others may read it (and
// start it as a program) but not write, rename or delete it while the hold
// lasts. The launcher holds an installer from the moment its MD5 text is
// taken until its start has returned, so the file that runs elevated is the
// file that was verified.
#include "framework/afx_handle.h"

#include <string>

class held_file {
public:
  held_file() = default;
  // Opens `path` for reading, sharing read access only. The hold fails (see
  // IsHeld, HoldError) when the file is missing, is a folder, or someone has
  // it open for writing or deleting.
  explicit held_file(const std::wstring& path);
  held_file(held_file&&) = default;
  held_file& operator=(held_file&&) = default;
  ~held_file() = default;

  bool IsHeld() const { return handle_.IsValid(); }
  // The handle that holds the file, for reading the very bytes held.
  HANDLE Handle() const { return handle_.Get(); }
  const std::wstring& Path() const { return path_; }
  // Why the hold failed (the Windows error of the open), or 0.
  DWORD HoldError() const { return hold_error_; }
  // Lets go of the file, so that it can be replaced or deleted.
  void Release() { handle_.Close(); }

private:
  std::wstring path_;
  afx_file_handle handle_;
  DWORD hold_error_ = ERROR_SUCCESS;
};
