#pragma once
// The `publish` command: lays out a release for a static web server and
// writes the manifest that names it.
#include "support/publisher_roots.h"
#include "tools/vl6publish/release_signing.h"

#include <string>

struct release_inputs {
  std::wstring out_folder;        // the server's root (or what is uploaded as it)
  std::wstring version;           // a.b.c.d, first number 6
  std::wstring base_url;          // what the server's root is reached as
  std::wstring setup64;           // the installers: 64-bit and 32-bit,
  std::wstring setup32;
  std::wstring setup_both;        // or one for both
  std::wstring manual;
  std::wstring new_major_version; // both empty, or both given
  std::wstring new_major_url;
  // Whose signature each installer must carry (O and CN of its certificate,
  // as the launcher checks it); empty: not checked.
  std::wstring publisher;
  // The CA certificates the signer's chain must hold one of (by default the
  // build's VELORA_PUBLISHER_ROOTS); empty: any root this Windows trusts.
  publisher_roots roots;
  // Publish installers the launcher would refuse, with a warning.
  bool allow_unsigned = false;
  // Sign the manifest (with a freshness line) when both files are given.
  bool sign = false;
  signing_inputs signing;
};

// Copies the installers and the manual to OUT\download\VERSION\ under their
// names in lower case and writes OUT\launcher\installer6.lt (code page 932,
// CR LF), replacing it in one move so that a running server never serves half
// of it. Signing, it ends the manifest with its freshness line and writes the
// detached signature beside it (OUT\launcher\installer6.lt.p7s); unsigned, it
// removes a signature an earlier release left there. Refuses, before it
// writes anything, what the launcher could not use (an installer not signed
// by the publisher, unless allowed, and a signing identity whose signature
// the launcher would refuse) and a release file that was published before
// with other bytes. The installers
// are held from their check until they are copied, so the bytes published
// are the bytes checked. Prints what it did, each installer's signer and how
// the launcher reads the manifest. Returns the exit code.
int publish_release(const release_inputs& inputs);
