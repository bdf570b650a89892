#pragma once
// What the launcher makes of a manifest, line by line and for each kind of
// system: the values come from the launcher's own parser, the explanations
// of ignored and doubtful lines from the manifest's format rules.
#include <cstddef>
#include <string>
#include <vector>

enum class finding_kind { note, warning, fault };

struct manifest_finding {
  size_t line = 0;  // as an editor counts it (blank lines too); 0: the whole file
  finding_kind kind = finding_kind::note;
  std::wstring text;
};

// A value pair the launcher took, and the line it came from (0: none).
struct taken_value {
  size_t line = 0;
  std::wstring md5;
  std::wstring url;
};

struct system_outcome {
  bool system_is_64bit = false;
  bool parsed = false;            // an installer or newer-generation line was accepted
  taken_value installer;
  taken_value manual;
  size_t new_major_line = 0;
  std::wstring new_major_version;
  std::wstring new_major_url;
  // An installer line was taken, its MD5 text is 32 hexadecimal digits and
  // its URL names a host reached over http or https.
  bool installer_usable = false;
};

struct manifest_report {
  size_t line_count = 0;          // lines as the launcher counts them
  system_outcome systems[2];      // 64-bit, then 32-bit
  std::vector<manifest_finding> findings;  // in line order

  size_t count(finding_kind kind) const;
  // Both systems get a usable installer and no line has a fault.
  bool release_ready() const;
};

manifest_report check_manifest(const std::vector<char>& body);

// "64-bit Windows" or "32-bit Windows".
std::wstring system_name(bool system_is_64bit);

// The report as `check` prints it.
std::wstring describe_report(const manifest_report& report);
