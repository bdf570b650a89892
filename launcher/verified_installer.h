#pragma once
// One installer as the launcher found it: its path, its MD5 text and, once
// checked, its signer, with the hold that keeps anyone from changing the file.
// The hold lasts as long as the value, so the bytes whose MD5 text and
// signature were checked are the bytes that start. Whoever owns the value
// owns the hold; letting go of the value lets go of the file.
#include "support/held_file.h"
#include "support/publisher_signature.h"

#include <optional>
#include <string>

class verified_installer {
public:
  verified_installer() = default;
  // Holds the file at `path` and takes its MD5 text. A file that cannot be
  // held (missing, or someone is writing it) gets no MD5 text, so it never
  // matches a manifest, and never passes the publisher check.
  explicit verified_installer(const std::wstring& path);
  // The same, taking the MD5 text and the verdict of `checked` over when it
  // is the very same file, held since they were taken (a download moved into
  // place): its bytes are read neither for the digest nor for the check
  // again. Any other file is digested, and checked on first use, as usual.
  verified_installer(const std::wstring& path, checked_file checked);
  verified_installer(verified_installer&&) = default;
  verified_installer& operator=(verified_installer&&) = default;

  const std::wstring& Path() const { return hold_.Path(); }
  // The held file as the file system named it when it was found: the path a
  // start hands to the shell (see StartPath).
  const std::wstring& FinalPath() const { return hold_.FinalPath(); }
  // FinalPath() while the held file is still known by it; empty otherwise, and
  // then nothing may start by any name.
  std::wstring StartPath() const { return hold_.StillAtFinalPath() ? hold_.FinalPath() : std::wstring(); }
  const std::wstring& Md5() const { return md5_; }
  bool IsHeld() const { return hold_.IsHeld(); }

  // The publisher's signature on the held bytes, checked on first use; a
  // file let go of never passes, since its bytes may have changed.
  bool PassesPublisherCheck(const std::wstring& publisher);
  // Takes over the verdict of a check of the very same file (held, and so
  // unchanged, since that check), so that its bytes are not checked again.
  // Anything else is ignored, and the check runs on first use as usual.
  void TakeOverCheck(checked_file checked);
  // The signer seen by the check (empty before it, or when none was read).
  const code_signer& Signer() const;

  // Lets go of the file and deletes it, when its name still leads to the file
  // held (never through a link put in its place).
  bool Delete();
  // Lets go of the file, which a download is about to replace.
  void Release();

private:
  held_file hold_;
  std::wstring md5_;
  std::optional<signature_verdict> verdict_;
};
