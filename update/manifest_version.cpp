#include "update/manifest_version.h"

#include <boost/regex.hpp>

#include <algorithm>
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

// One number of a version, by value: leading zeros dropped, then the longer
// is the larger, and digits decide between numbers of one length.
int compare_numbers(std::string left, std::string right) {
  left.erase(0, std::min(left.find_first_not_of('0'), left.size()));
  right.erase(0, std::min(right.find_first_not_of('0'), right.size()));
  if (left.size() != right.size()) return left.size() < right.size() ? -1 : 1;
  return left.compare(right) < 0 ? -1 : left == right ? 0 : 1;
}

}  // namespace

int compare_manifest_versions(const std::string& left, const std::string& right) {
  boost::smatch left_groups, right_groups;
  const bool left_found = find_version(left, left_groups);
  const bool right_found = find_version(right, right_groups);
  if (!left_found || !right_found) return static_cast<int>(left_found) - static_cast<int>(right_found);
  for (int group = 1; group <= 4; ++group) {
    const int order = compare_numbers(left_groups[group].str(), right_groups[group].str());
    if (order != 0) return order;
  }
  return 0;
}

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
