#pragma once
// The publisher's code signature on a held file: the one gate every installer
// passes before it is started or takes a cached installer's place.
//
// A file passes only when all of these hold:
//  - WinVerifyTrust accepts its Authenticode signature (no UI, no revocation,
//    no network);
//  - the signer's certificate chains to a trusted root for code signing, at
//    the signature's time, with no revocation asked for (Wine's WinVerifyTrust
//    alone lets untrusted, expired and wrong-usage SHA-256 signers through);
//  - the signer's organisation and common name both equal the publisher.
// An empty publisher switches the gate off: every file passes unchecked, as
// for a vendor that does not sign its installers.
#include "support/held_file.h"

#include <windows.h>

#include <string>

struct code_signer {
  std::wstring organization;
  std::wstring common_name;

  bool empty() const { return organization.empty() && common_name.empty(); }
  // "O=..., CN=..." or "none", for logs and reports.
  std::wstring describe() const;
};

struct signature_verdict {
  // Which check decided: the file could not be read, the Authenticode
  // signature, the certificate chain, the publisher's name; or none (passed).
  // location: the file passed, but is no longer known by the name it had
  // when it was checked, so no start by any name would surely run it.
  enum step_kind { passed, file, signature, chain, publisher, gate_off, location };

  bool trusted = false;
  step_kind step = file;
  // S_OK when trusted; otherwise the HRESULT of the failed check, the
  // Windows error of an unreadable file, or TRUST_E_SUBJECT_NOT_TRUSTED for a
  // signer with other names.
  LONG result = S_OK;
  code_signer signer;  // as seen in the signature; empty when none was read

  const wchar_t* step_name() const;
};

// Checks `file`, read through the handle that holds it, against `publisher`.
// Every refusal is logged at level 5 with the file, the step, the result and
// the signer seen.
signature_verdict check_publisher_signature(const held_file& file, const std::wstring& publisher);

// Logs, in the check's own words, a start refused after the check because
// the checked file is no longer where it was found (step "location").
void log_start_refusal(const std::wstring& path, const code_signer& signer);

// A file that passed or failed the check, still held as it was when checked,
// so that a later user of the same file can take the verdict over instead of
// checking the same bytes again (see held_file::SameFileAs).
struct checked_file {
  held_file file;
  signature_verdict verdict;
};
