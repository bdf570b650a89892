#include "update/manifest_format.h"

#include "support/ascii.h"

#include <boost/tokenizer.hpp>

#include <limits>

namespace {

const char kLineSeparators[] = "\r\n";
// A tab is not a separator: it stays inside its field.
const char kFieldSeparators[] = " \r\n";

using tokens = boost::tokenizer<boost::char_separator<char>>;

// The pieces are read one by one and no further than `limit`: a line may
// hold millions of them, and only the first few count.
std::vector<std::string> split(const std::string& text, const char* separators,
                               size_t limit = std::numeric_limits<size_t>::max()) {
  const tokens pieces(text, boost::char_separator<char>(separators));
  std::vector<std::string> taken;
  for (auto piece = pieces.begin(); piece != pieces.end() && taken.size() < limit; ++piece) {
    taken.push_back(*piece);
  }
  return taken;
}

}  // namespace

std::vector<std::string> manifest_lines(const std::string& text) {
  return split(text, kLineSeparators);
}

std::vector<std::string> manifest_fields(const std::string& line) {
  return split(line, kFieldSeparators);
}

std::vector<std::string> manifest_fields(const std::string& line, size_t limit) {
  return split(line, kFieldSeparators, limit);
}

bool manifest_architecture_fits(const std::string& field, bool system_is_64bit) {
  return equals_ascii_lower(field, system_is_64bit ? kManifestArchitecture64
                                                   : kManifestArchitecture32) ||
         equals_ascii_lower(field, kManifestArchitectureBoth);
}

bool is_manual_kind(const std::string& field) {
  return equals_ascii_lower(field, kManifestManualKind);
}
