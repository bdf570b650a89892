#pragma once
// The signed manifest of a release: the freshness line the publisher vouches
// for (update/manifest_freshness.h), written as the manifest's last line, and
// the detached signature over the manifest's exact bytes that is served
// beside it. Nothing is signed that the launcher's own check of a detached
// signature (support/detached_signature.h) would refuse.
#include "support/publisher_roots.h"
#include "tools/vl6publish/signing_identity.h"
#include "update/manifest_freshness.h"

#include <string>
#include <vector>

struct signing_inputs {
  std::wstring certificate;  // --sign-cert
  std::wstring key;          // --sign-key
  int expires_days = 0;      // --expires
};

class release_signing {
public:
  // Reads the identity, signs a trial text with it and puts that through the
  // launcher's check for `publisher` and `roots`, and takes the serial from
  // the manifest at `manifest_path` that this release replaces, if any (its
  // serial plus one; 1 when there is none, or it has no readable freshness
  // line, with a warning for the latter). Nothing is written.
  signing_problem prepare(const signing_inputs& inputs, const std::wstring& publisher, const publisher_roots& roots,
                          const std::wstring& manifest_path);

  // Appends the freshness line (CR LF) to `manifest` and signs the result.
  // Refused when the launcher's check refuses the signature just made.
  signing_problem sign(std::string& manifest, std::vector<char>& signature);

  // For the report, once signed: the signer and the freshness line's values.
  const std::wstring& signer() const { return signer_; }
  std::wstring freshness_report() const;
  // Warnings for standard error (a serial started afresh, a certificate that
  // expires before the manifest); empty when none.
  const std::wstring& warnings() const { return warnings_; }

private:
  signing_problem take_serial(const std::wstring& manifest_path);

  signing_identity identity_;
  std::wstring certificate_path_;
  std::wstring publisher_;
  publisher_roots roots_;
  int expires_days_ = 0;
  manifest_freshness freshness_;
  std::wstring serial_origin_;  // how the serial came about, for the report
  std::wstring signer_;
  std::wstring warnings_;
};
