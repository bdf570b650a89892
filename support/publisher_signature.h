#pragma once
// The publisher's code signature on a held file: the one gate every installer
// passes before it is started or takes a cached installer's place.
//
// A file passes only when all of these hold:
//  - WinVerifyTrust accepts its Authenticode signature (no UI, no revocation,
//    no network);
//  - the signer's certificate chain, judged by the launcher itself
//    (publisher_chain.h: the machine's chain engine, the current time, no
//    error in its trust status, a self-signed root in the machine's Root
//    store, the Authenticode policy), for code signing (Wine's WinVerifyTrust
//    alone lets untrusted, expired and wrong-usage SHA-256 signers through,
//    and its chain policy incomplete chains);
//  - the signer's organisation and common name both equal the publisher;
//  - the chain holds one of the publisher's pinned CA certificates
//    (publisher_roots.h), when any are given.
// An empty publisher switches the gate off: every file passes unchecked, as
// for a vendor that does not sign its installers.
#include "support/held_file.h"
#include "support/publisher_roots.h"

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
  // Windows error of an unreadable file, TRUST_E_SUBJECT_NOT_TRUSTED for a
  // signer with other names, or CERT_E_UNTRUSTEDROOT (step chain) for a
  // chain that holds none of the pinned CA certificates.
  LONG result = S_OK;
  code_signer signer;  // as seen in the signature; empty when none was read

  const wchar_t* step_name() const;
};

// Checks `file`, read through the handle that holds it, against `publisher`
// and the CA certificates its chain must hold one of: `roots`, or the
// build's (VELORA_PUBLISHER_ROOTS). Every refusal is logged at level 5 with
// the file, the step, the result and the signer seen.
signature_verdict check_publisher_signature(const held_file& file, const std::wstring& publisher);
signature_verdict check_publisher_signature(const held_file& file, const std::wstring& publisher,
                                            const publisher_roots& roots);

// The same check, unlogged, for a caller that logs the verdict later
// (log_signature_verdict), in its own order of events.
signature_verdict judge_publisher_signature(const held_file& file, const std::wstring& publisher);
signature_verdict judge_publisher_signature(const held_file& file, const std::wstring& publisher,
                                            const publisher_roots& roots);
// Logs `verdict` on `file` as check_publisher_signature does (nothing when
// the gate is off).
void log_signature_verdict(const held_file& file, const signature_verdict& verdict);

// Logs, in the check's own words, a start refused after the check because
// the checked file is no longer where it was found (step "location").
void log_start_refusal(const std::wstring& path, const code_signer& signer);

// A file that passed or failed the check, still held as it was when checked,
// so that a later user of the same file can take the verdict and the MD5
// text over instead of reading the same bytes again (see
// held_file::SameFileAs).
struct checked_file {
  held_file file;
  signature_verdict verdict;
  // The MD5 text of the held bytes, read through the hold; empty when none
  // was taken.
  std::wstring md5;
};
