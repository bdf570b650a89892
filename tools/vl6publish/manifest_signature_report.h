#pragma once
// What `verify` says of a served manifest's signature: who signed it, judged
// by the launcher's own check of a detached signature over the bytes served,
// and the freshness line inside them (serial, signing time, expiry). A
// launcher that checks signatures takes the manifest only when the signer is
// the publisher and the line reads and has not expired.
#include "support/publisher_roots.h"

#include <cstdint>
#include <string>
#include <vector>

struct manifest_signature_report {
  bool fault = false;
  std::wstring lines;   // indented lines, each ending in a line break
  std::wstring result;  // for a fault, what the result line adds: "the manifest's signature is refused"
};

// `manifest` and `signature` as served, judged at `now` (seconds since 1970)
// for `publisher` (empty: the signature is not checked, as nothing could
// pass it) and the CA certificates of `roots`.
manifest_signature_report report_manifest_signature(const std::vector<char>& manifest,
                                                    const std::vector<char>& signature,
                                                    const std::wstring& publisher, const publisher_roots& roots,
                                                    int64_t now);
