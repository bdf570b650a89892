#pragma once
// The `publish` command: lays out a release for a static web server and
// writes the manifest that names it.
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
};

// Copies the installers and the manual to OUT\download\VERSION\ under their
// names in lower case and writes OUT\launcher\installer6.lt (code page 932,
// CR LF), replacing it in one move so that a running server never serves half
// of it. Refuses, before it writes anything, what the launcher could not use
// and a release file that was published before with other bytes. Prints what
// it did and how the launcher reads the manifest. Returns the exit code.
int publish_release(const release_inputs& inputs);
