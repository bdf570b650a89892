#pragma once
// The kind field of a manifest line holds a version a.b.c.d somewhere in it;
// its first number tells an installer of this generation (6) from the
// announcement of a newer one (7 or more). No other number is ever compared.
#include <string>

// The first number of the leftmost a.b.c.d in `field` (a search, not a whole
// match), read as atoi would but saturating at INT_MAX; -1 when the field
// holds no such version.
int manifest_generation(const std::string& field);

// The leftmost a.b.c.d in `field` as written (digits and dots only), without
// the text around it; empty when the field holds no such version.
std::string manifest_version_text(const std::string& field);

// The two classifiers of the manifest's kind field.
bool is_installer_version(const std::string& field);
bool is_newer_generation_version(const std::string& field);

// Compares the leftmost a.b.c.d of each text number by number, by value
// (leading zeros and numbers of any length included): negative when `left`
// is the older, 0 when both are the same version, positive when `left` is
// the newer. A text without a version is older than any version.
int compare_manifest_versions(const std::string& left, const std::string& right);
