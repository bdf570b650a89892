#include "update/manifest_reader.h"

#include "support/text_utils.h"
#include "update/manifest_format.h"
#include "update/manifest_version.h"

#include <windows.h>

namespace {

std::wstring widen(const std::string& field) { return ansi_to_wide(CP_ACP, field); }

}  // namespace

manifest_values read_manifest(const std::vector<char>& body, bool system_is_64bit) {
  manifest_values values;
  if (body.empty()) return values;

  const std::vector<std::string> lines = manifest_lines(std::string(body.begin(), body.end()));
  for (size_t line = 1; line < lines.size(); ++line) {
    bool installer = false;
    bool newer_generation = false;
    bool manual = false;
    std::string md5;
    std::string version;
    // Only four fields count; a line of a million more costs no more to read.
    const std::vector<std::string> fields = manifest_fields(lines[line], manifest_field_count);
    for (size_t index = 0; index < fields.size(); ++index) {
      const std::string& field = fields[index];
      switch (index) {
        case manifest_architecture_field:
          if (!manifest_architecture_fits(field, system_is_64bit)) index = manifest_field_count;
          break;
        case manifest_kind_field:
          if (is_installer_version(field)) {
            installer = true;
            version = manifest_version_text(field);
          } else if (is_newer_generation_version(field)) {
            newer_generation = true;
            values.new_major_released = true;
            // The version alone: the text around it is the manifest's, and
            // the user reads this one in the newer generation's message.
            values.new_major_version = widen(manifest_version_text(field));
            values.accepted = true;
          } else if (is_manual_kind(field)) {
            manual = true;
          }
          break;
        case manifest_md5_field:
          if (installer || manual) md5 = field;
          break;
        case manifest_url_field:
          if (installer) {
            values.installer = {widen(md5), widen(field)};
            values.installer_version = version;
            values.accepted = true;
          } else if (newer_generation) {
            values.new_major_url = widen(field);
          } else if (manual) {
            values.manual = {widen(md5), widen(field)};
          }
          break;
      }
    }
  }
  return values;
}
