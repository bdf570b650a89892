#pragma once
// The text format of the ".lt" manifest, shared by the launcher's parser and
// by the tools that write or check manifests: a header line, then lines of up
// to four fields (architecture, kind, MD5 text, URL) separated by spaces.
#include <cstddef>
#include <string>
#include <vector>

// The architecture field: which systems a line serves.
inline constexpr char kManifestArchitecture32[] = "32bit";
inline constexpr char kManifestArchitecture64[] = "64bit";
inline constexpr char kManifestArchitectureBoth[] = "both";
// The kind field of the manual's line (the others hold a version).
inline constexpr char kManifestManualKind[] = "manual";

enum manifest_field { manifest_architecture_field, manifest_kind_field, manifest_md5_field,
                      manifest_url_field, manifest_field_count };

// The lines: split at CR and LF, empty pieces dropped (a blank line is no
// line at all). The first one is the header.
std::vector<std::string> manifest_lines(const std::string& text);

// Every field of one line, fields beyond the fourth included: split at runs
// of spaces (and CR or LF); a tab is no separator and stays in its field.
std::vector<std::string> manifest_fields(const std::string& line);
// The first `limit` fields only; the rest of the line is never read.
std::vector<std::string> manifest_fields(const std::string& line, size_t limit);

// The architecture field serves a 64-bit system when it is "64bit" or "both",
// any other system when it is "32bit" or "both"; ASCII letters in any case.
bool manifest_architecture_fits(const std::string& field, bool system_is_64bit);

// "manual" in any case.
bool is_manual_kind(const std::string& field);
