#pragma once
// Reading the ".lt" manifest (the format: update/manifest_format.h) into the
// values the launcher acts on. A free function over the body's bytes, so that
// the release tool reads a manifest exactly as the launcher does without a
// network client.
#include <string>
#include <vector>

// A file the manifest names: its MD5 text and URL, as written.
struct manifest_file {
  std::wstring md5;
  std::wstring url;
};

// What one manifest gives one kind of system. A later line of a kind replaces
// an earlier one; a value no accepted line gave stays empty.
struct manifest_values {
  bool accepted = false;            // an installer or a newer-generation line was accepted
  bool new_major_released = false;  // a generation newer than 6 is announced
  std::wstring new_major_version;   // its version a.b.c.d alone, and where to read about it
  std::wstring new_major_url;
  manifest_file installer;          // the newest installer for that system
  std::string installer_version;    // its a.b.c.d alone, from the kind field
  manifest_file manual;             // the newest manual
};

// Reads `body` for a 64-bit or a 32-bit system. The first line is the header,
// whatever it holds; only the first four fields of a line are read.
manifest_values read_manifest(const std::vector<char>& body, bool system_is_64bit);
