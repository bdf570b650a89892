#include "update/manifest_version.h"

#include <boost/regex.hpp>

#include <climits>
#include <stdexcept>

namespace {

constexpr int kInstallerGeneration = 6;
constexpr int kFirstNewerGeneration = 7;
constexpr int kNoVersion = -1;

// Built once, at first use (thread-safe), and only read afterwards: every
// search has its own match state.
const boost::regex& version_pattern() {
  static const boost::regex pattern(R"re(([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+))re");
  return pattern;
}

// The group holds digits only. A number beyond int is read as the largest
// int rather than overflowing.
int saturating_number(const std::string& digits) {
  long long value = 0;
  for (char digit : digits) {
    value = value * 10 + (digit - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

// The leftmost version's match; false when there is none.
bool find_version(const std::string& field, boost::smatch& groups) {
  try {
    return boost::regex_search(field, groups, version_pattern());
  } catch (const std::runtime_error&) {
    // Text too complex for the matcher's limits holds no version we accept.
    return false;
  }
}

}  // namespace

int manifest_generation(const std::string& field) {
  boost::smatch groups;
  if (!find_version(field, groups)) return kNoVersion;
  return saturating_number(groups[1].str());
}

std::string manifest_version_text(const std::string& field) {
  boost::smatch groups;
  if (!find_version(field, groups)) return std::string();
  return groups[0].str();
}

bool is_installer_version(const std::string& field) {
  return manifest_generation(field) == kInstallerGeneration;
}

bool is_newer_generation_version(const std::string& field) {
  return manifest_generation(field) >= kFirstNewerGeneration;
}
