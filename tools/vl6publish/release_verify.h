#pragma once
// The `verify` command: the smoke test of a release on its server, through
// the launcher's own HTTP client and request preparation.
#include "support/publisher_roots.h"

#include <string>

struct verify_inputs {
  // The manifest's URL; a URL whose path does not end in ".lt" is the
  // server's base URL, below which the launcher's manifest request is made.
  std::wstring url;
  // "HOST:PORT"; empty: the system's proxy configuration, as the launcher.
  std::wstring proxy;
  // Whose signature each installer must carry, as the launcher checks it;
  // empty: not checked.
  std::wstring publisher;
  // The CA certificates the signer's chain must hold one of (by default the
  // build's VELORA_PUBLISHER_ROOTS); empty: any root this Windows trusts.
  publisher_roots roots;
  // A manifest served without its signature is a fault, not only reported.
  bool signed_required = false;
};

// Fetches the manifest and its detached signature beside it, then every
// installer and manual the manifest gives a 64-bit or a 32-bit system,
// compares each body's MD5 text with the manifest's, and puts each installer
// through the launcher's publisher check. A signature served is judged as a
// launcher that checks signatures judges it (manifest_signature_report.h); a
// manifest served without one (404) is reported as unsigned. Prints what it
// found of each file. Returns the exit code: exit_ok only when the manifest
// was had, its signature (if any, or required) holds, both systems got an
// installer, every file matched and the publisher signed every installer.
int verify_release(const verify_inputs& inputs);
