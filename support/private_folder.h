#pragma once
// A folder of the launcher's own in a place others may write to (the user's
// temporary folder): made by the launcher with access for the user, SYSTEM
// and the administrators only, never a link or junction to somewhere else,
// owned by the user, and held open so that nobody can rename, remove or
// replace it while the launcher relies on what lies in it.
#include "framework/afx_handle.h"

#include <string>

class private_folder {
public:
  enum creation { existing_only, make_if_missing };

  private_folder() = default;
  // Takes the folder `path` (with or without its trailing backslash). A link
  // or junction found there is removed, never what it leads to, and a real
  // folder takes its place (with make_if_missing). The hold fails (IsHeld
  // false, Error) when the folder is missing and not to be made, is a link
  // that cannot be removed, belongs to another account, or cannot be opened;
  // each refusal is logged.
  private_folder(const std::wstring& path, creation create);
  private_folder(private_folder&&) = default;
  private_folder& operator=(private_folder&&) = default;

  bool IsHeld() const { return handle_.IsValid(); }
  // Why the folder is not held: the Windows error, or 0.
  DWORD Error() const { return error_; }
  // The folder as the file system names it, with a trailing backslash;
  // empty when it is not held.
  const std::wstring& FinalPath() const { return final_path_; }
  // True when `final_path` (a final path, see final_path_of) names an entry
  // directly in this folder.
  bool Contains(const std::wstring& final_path) const;

private:
  afx_file_handle handle_;
  std::wstring final_path_;
  DWORD error_ = ERROR_SUCCESS;
};

// True when `owner` is the account this process runs as, or the owner it
// gives the files it makes (an elevated administrator's are the
// administrators').
bool is_own_account(PSID owner);
