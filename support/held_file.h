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
  // fixed: nobody may write, rename or delete the file while it is held.
  // movable: nobody may write it, but it may be renamed or deleted, so that
  // its holder can move it into place without letting go of it; whoever
  // goes on by its name must then ask SameFileAs.
  enum hold_kind { fixed, movable };

  held_file() = default;
  // Opens `path` for reading, sharing read access only (and, when movable,
  // delete access). The hold fails (see IsHeld, HoldError) when the file is
  // missing, is a folder, or someone has it open for writing or deleting.
  explicit held_file(const std::wstring& path, hold_kind kind = fixed);
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

  // The holder moved the file (a movable hold) to `path`.
  void Moved(const std::wstring& path);

  // The held file as the file system named it when the hold began (or was
  // moved): every link and short name on the way resolved (final_path_of).
  // Empty when it is not held or could not be named.
  const std::wstring& FinalPath() const { return final_path_; }
  // True when the held file is still named FinalPath() now: what a start by
  // that name runs is the file held.
  bool StillAtFinalPath() const;

  // Lets go of the file and deletes it, provided the name still leads to the
  // very file that was held, and not through a link: a name that now leads
  // elsewhere is left alone.
  bool ReleaseAndDelete();
  // True when both hold the very same file (volume and file index), however
  // it is named now. Since neither hold lets anyone write it, what was read
  // through one is what the other reads.
  bool SameFileAs(const held_file& other) const;

private:
  // Which file is held, read when the hold began: a rename cannot take the
  // file to another volume, and Wine no longer names the volume of a handle
  // whose file was renamed.
  struct file_identity {
    bool known = false;
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;

    bool operator==(const file_identity& other) const;
  };
  static file_identity identity_of(HANDLE file);

  std::wstring path_;
  std::wstring final_path_;
  afx_file_handle handle_;
  DWORD hold_error_ = ERROR_SUCCESS;
  file_identity identity_;
};
