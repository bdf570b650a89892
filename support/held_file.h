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
  // IsHeld, GetLastError) when the file is missing or someone has it open
  // for writing or deleting.
  explicit held_file(const std::wstring& path);
  held_file(held_file&&) = default;
  held_file& operator=(held_file&&) = default;
  ~held_file() = default;

  bool IsHeld() const { return handle_.IsValid(); }
  // Lets go of the file, so that it can be replaced or deleted.
  void Release() { handle_.Close(); }

private:
  afx_file_handle handle_;
};
