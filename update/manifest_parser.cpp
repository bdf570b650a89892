// Reading the ".lt" manifest: a header line, then lines of up to four fields
// (architecture, kind, MD5 text, URL) separated by spaces.
#include "update/installer_downloader.h"

#include "support/text_utils.h"
#include "support/windows_facts.h"
#include "update/manifest_version.h"

#include <boost/tokenizer.hpp>

#include <cstring>

namespace {

const char kLineSeparators[] = "\r\n";
// A tab is not a separator: it stays inside its field.
const char kFieldSeparators[] = " \r\n";
const char kArchitecture64[] = "64bit";
const char kArchitecture32[] = "32bit";
const char kArchitectureBoth[] = "both";
const char kManualKind[] = "manual";

enum manifest_field { architecture_field, kind_field, md5_field, url_field, field_count };

using tokens = boost::tokenizer<boost::char_separator<char>>;

// ASCII letters folded, every other byte (a Shift_JIS byte included) as is.
bool equals_ignoring_case(const std::string& text, const char* wanted) {
  const size_t length = std::strlen(wanted);
  if (text.size() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != wanted[i]) return false;
  }
  return true;
}

bool fits_system(const std::string& architecture, bool system_is_64bit) {
  return equals_ignoring_case(architecture, system_is_64bit ? kArchitecture64 : kArchitecture32) ||
         equals_ignoring_case(architecture, kArchitectureBoth);
}

std::wstring widen(const std::string& field) { return ansi_to_wide(CP_ACP, field); }

}  // namespace

bool CInstallerDownloader::ParseManifest(const std::vector<char>& body) {
  return ParseManifest(body, Is64BitOS());
}

bool CInstallerDownloader::ParseManifest(const std::vector<char>& body, bool system_is_64bit) {
  if (body.empty()) return false;
  const std::string text(body.begin(), body.end());
  bool success = false;

  const tokens lines(text, boost::char_separator<char>(kLineSeparators));
  bool header = true;
  for (const std::string& line : lines) {
    if (header) {
      header = false;  // whatever it holds
      continue;
    }
    bool installer = false;
    bool newer_generation = false;
    bool manual = false;
    std::string md5;
    int index = 0;
    const tokens fields(line, boost::char_separator<char>(kFieldSeparators));
    for (auto field = fields.begin(); field != fields.end() && index < field_count; ++field, ++index) {
      switch (index) {
        case architecture_field:
          if (!fits_system(*field, system_is_64bit)) index = field_count;  // the rest is ignored
          break;
        case kind_field:
          if (is_installer_version(*field)) {
            installer = true;
          } else if (is_newer_generation_version(*field)) {
            newer_generation = true;
            new_major_released = true;
            new_major_version = widen(*field);
            success = true;
          } else if (equals_ignoring_case(*field, kManualKind)) {
            manual = true;
          }
          break;
        case md5_field:
          if (installer || manual) md5 = *field;
          break;
        case url_field:
          if (installer) {
            latest_md5 = widen(md5);
            latest_url = widen(*field);
            success = true;
          } else if (newer_generation) {
            new_major_url = widen(*field);
          } else if (manual) {
            latest_manual_md5 = widen(md5);
            latest_manual_url = widen(*field);
          }
          break;
      }
    }
  }
  return success;
}
