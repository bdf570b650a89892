#include "tools/vl6publish/manifest_check.h"

#include "support/ascii.h"
#include "support/text_utils.h"
#include "tools/vl6publish/freshness_text.h"
#include "tools/vl6publish/release_rules.h"
#include "update/manifest_format.h"
#include "update/manifest_freshness.h"
#include "update/manifest_reader.h"
#include "update/manifest_signing.h"
#include "update/manifest_version.h"

#include <windows.h>

#include <map>
#include <utility>

namespace {

constexpr bool kSystems[] = {true, false};  // the order of manifest_report::systems
const char kStandInHeader[] = "header\r\n";
constexpr char kTab = '\t';

enum line_kind { installer_kind, manual_kind, new_major_kind, kind_count };

const wchar_t* const kKindNames[kind_count] = {L"installer", L"manual", L"newer generation"};

// What the launcher's parser takes from one line on one kind of system: the
// line is read alone, behind a header of its own.
struct line_take {
  bool taken[kind_count] = {};
};

line_take what_the_launcher_takes(const std::string& line, bool system_is_64bit) {
  const std::string text = kStandInHeader + line;
  const manifest_values values = read_manifest(std::vector<char>(text.begin(), text.end()), system_is_64bit);
  line_take take;
  take.taken[installer_kind] = !values.installer.url.empty();
  take.taken[manual_kind] = !values.manual.url.empty();
  take.taken[new_major_kind] = values.new_major_released;
  return take;
}

// A manifest field as the launcher reads it, quoted, with a tab made visible.
std::wstring quoted(const std::string& field) {
  return L"\"" + replace_all(ansi_to_wide(CP_ACP, field), L"\t", L"\\t") + L"\"";
}

std::wstring number(size_t value) { return std::to_wstring(value); }

// The editor's number of each of the launcher's lines: blank lines and any
// run of line ends count as an editor counts them (CR LF is one line end).
std::vector<size_t> file_line_numbers(const std::string& text, const std::vector<std::string>& lines) {
  std::vector<size_t> numbers;
  size_t position = 0;
  size_t line = 1;
  for (const std::string& piece : lines) {
    // Pieces hold no line ends, so the next occurrence is the piece itself.
    const size_t start = text.find(piece, position);
    for (size_t i = position; i < start; ++i) {
      if (text[i] == '\r' && i + 1 < start && text[i + 1] == '\n') ++i;
      ++line;
    }
    numbers.push_back(line);
    position = start + piece.size();
  }
  return numbers;
}

bool holds_tab(const std::string& field) { return field.find(kTab) != std::string::npos; }

bool looks_like_a_version(const std::string& field) {
  return field.find('.') != std::string::npos &&
         field.find_first_of("0123456789") != std::string::npos;
}

std::wstring unknown_kind_reason(const std::string& kind) {
  // Neither classifier took it, so a version here is of an older generation.
  if (manifest_generation(kind) >= 0) {
    return L"version " + quoted(kind) +
           L": the launcher takes an installer only for a first number of 6 and announces a "
           L"newer generation for 7 or more";
  }
  if (looks_like_a_version(kind)) {
    return quoted(kind) + L" is no version a.b.c.d: the launcher needs four numbers";
  }
  return L"kind " + quoted(kind) + L" is neither a version a.b.c.d nor \"manual\"";
}

std::wstring tab_reason(const std::vector<std::string>& fields) {
  for (const std::string& field : fields) {
    if (holds_tab(field)) {
      return L"a tab between fields: the launcher separates fields by spaces only, so " +
             quoted(field) + L" is one field";
    }
  }
  return std::wstring();
}

std::wstring systems_text(const bool on[2]) {
  if (on[0] && on[1]) return L"64-bit and 32-bit systems";
  return on[0] ? L"64-bit systems" : L"32-bit systems";
}

class line_examiner {
public:
  line_examiner(manifest_report& report, size_t line) : report_(report), line_(line) {}

  void add(finding_kind kind, const std::wstring& text) {
    report_.findings.push_back(manifest_finding{line_, kind, text});
  }
  void ignored(const std::wstring& reason) { add(finding_kind::fault, L"ignored, " + reason); }

  // Why a line of the body is what it is. `taken` says, per system and kind,
  // what the launcher's parser took from it.
  void examine(const std::vector<std::string>& fields, const line_take taken[2]) {
    const std::wstring tab = tab_reason(fields);
    const std::string& architecture = fields[manifest_architecture_field];
    if (!manifest_architecture_fits(architecture, true) && !manifest_architecture_fits(architecture, false)) {
      ignored(!tab.empty() ? tab
                           : L"architecture " + quoted(architecture) + L" is none of 32bit, 64bit, both");
      return;
    }
    if (fields.size() <= manifest_kind_field) {
      ignored(L"only 1 field: a line needs architecture, kind, MD5 text and URL");
      return;
    }
    const std::string& kind_field = fields[manifest_kind_field];
    line_kind kind;
    if (is_installer_version(kind_field)) {
      kind = installer_kind;
    } else if (is_newer_generation_version(kind_field)) {
      kind = new_major_kind;
    } else if (is_manual_kind(kind_field)) {
      kind = manual_kind;
    } else {
      ignored(!tab.empty() ? tab : unknown_kind_reason(kind_field));
      return;
    }
    const bool fits[2] = {manifest_architecture_fits(architecture, kSystems[0]),
                          manifest_architecture_fits(architecture, kSystems[1])};
    const std::wstring what = kind == manual_kind ? std::wstring(kKindNames[kind])
                                                  : kKindNames[kind] + std::wstring(L" ") +
                                                        ansi_to_wide(CP_ACP, kind_field);
    if (kind != new_major_kind && fields.size() < manifest_field_count) {
      ignored(!tab.empty() ? tab
                           : L"only " + number(fields.size()) + L" fields: " +
                                 (kind == installer_kind ? L"an installer line needs architecture, version,"
                                                         : L"a manual line needs architecture, \"manual\",") +
                                 L" MD5 text and URL, and the launcher stores nothing from a shorter one");
      return;
    }
    if (!taken[0].taken[kind] && !taken[1].taken[kind]) {
      // The format rules above and the launcher's parser disagree: say so
      // rather than explain it away.
      ignored(L"the launcher's parser takes nothing from this " + what + L" line");
      return;
    }
    add(finding_kind::note, what + L" for " + systems_text(fits));
    if (!tab.empty()) add(finding_kind::fault, tab);
    if (fields.size() > manifest_field_count) {
      add(finding_kind::warning, number(fields.size()) + L" fields: the launcher reads the first four and ignores " +
                                     quoted(fields[manifest_field_count]) + L" and what follows");
    }
    if (kind == new_major_kind) {
      if (fields.size() < manifest_field_count) {
        add(finding_kind::warning, L"no URL: the launcher announces the newer generation but has no page to open");
      }
      return;
    }
    const std::string& md5 = fields[manifest_md5_field];
    if (!is_md5_text(md5)) {
      add(finding_kind::fault, L"MD5 text " + quoted(md5) +
                                   L" is not 32 hexadecimal digits: no downloaded file can match it");
    }
    examine_url(fields[manifest_url_field]);
  }

  // The freshness line of a signed manifest: no system's line for a
  // launcher that reads the plain manifest, the publisher's word on the
  // release for one that checks its signature.
  void examine_freshness(const std::string& line, bool first, int64_t now) {
    if (!first) {
      add(finding_kind::fault, L"a second freshness line: launchers that check signatures refuse a manifest "
                               L"with more than one");
      return;
    }
    const std::optional<manifest_freshness> freshness = read_freshness(kStandInHeader + line);
    if (!freshness) {
      add(finding_kind::fault, L"a freshness line that does not read (it wants \"freshness SERIAL SIGNED "
                               L"EXPIRES\", the times as YYYY-MM-DDTHH:MM:SSZ, the expiry after the signing): "
                               L"launchers that check signatures refuse the manifest");
      return;
    }
    add(finding_kind::note, L"freshness line, ignored by launchers that do not check signatures: " +
                                describe_freshness(*freshness, now));
    if (has_expired(*freshness, now)) {
      add(finding_kind::fault, L"expired: launchers that check signatures refuse the manifest");
    }
  }

  void examine_url(const std::string& url) {
    const url_facts facts = ::examine_url(url);
    if (!facts.names_host) {
      add(finding_kind::fault, L"URL " + quoted(url) + L" names no host: the launcher's request reaches no server");
      return;
    }
    if (!facts.fetchable) {
      add(finding_kind::fault, L"URL scheme " + quoted(facts.scheme) +
                                   L": the launcher fetches over http and https only and would send this as "
                                   L"plain HTTP");
    }
    if (has_capitals(facts.written_target)) {
      add(finding_kind::warning, L"capitals in the path or query: the launcher requests " +
                                     quoted(facts.request_target) +
                                     L", so the server must serve it under that lower-case name");
    }
  }

private:
  manifest_report& report_;
  size_t line_;
};

void take_values(const std::vector<char>& body, system_outcome& outcome) {
  const manifest_values values = read_manifest(body, outcome.system_is_64bit);
  outcome.parsed = values.accepted;
  outcome.installer.md5 = values.installer.md5;
  outcome.installer.url = values.installer.url;
  outcome.manual.md5 = values.manual.md5;
  outcome.manual.url = values.manual.url;
  outcome.new_major_version = values.new_major_version;
  outcome.new_major_url = values.new_major_url;
}

bool usable_installer(const system_outcome& outcome) {
  if (outcome.installer.line == 0) return false;
  // Narrowed as the downloader narrows the URL it fetches.
  const url_facts facts = examine_url(wide_to_ansi(outcome.installer.url));
  return is_md5_text(wide_to_ansi(outcome.installer.md5)) && facts.names_host && facts.fetchable;
}

const wchar_t* kind_label(finding_kind kind) {
  switch (kind) {
    case finding_kind::fault:
      return L"fault: ";
    case finding_kind::warning:
      return L"warning: ";
    case finding_kind::note:
      break;
  }
  return L"";
}

std::wstring plural(size_t count, const wchar_t* one, const wchar_t* many) {
  return number(count) + L" " + (count == 1 ? one : many);
}

std::wstring describe_value(const wchar_t* label, const taken_value& value, const wchar_t* none) {
  std::wstring text = std::wstring(L"  ") + label;
  if (value.line == 0) return text + none + L"\n";
  return text + L"line " + number(value.line) + L", MD5 " + value.md5 + L", " + value.url + L"\n";
}

}  // namespace

size_t manifest_report::count(finding_kind kind) const {
  size_t found = 0;
  for (const manifest_finding& finding : findings) {
    if (finding.kind == kind) ++found;
  }
  return found;
}

bool manifest_report::release_ready() const {
  return systems[0].installer_usable && systems[1].installer_usable && count(finding_kind::fault) == 0;
}

std::wstring system_name(bool system_is_64bit) {
  return system_is_64bit ? L"64-bit Windows" : L"32-bit Windows";
}

manifest_report check_manifest(const std::vector<char>& body) {
  manifest_report report;
  for (int s = 0; s < 2; ++s) {
    report.systems[s].system_is_64bit = kSystems[s];
    take_values(body, report.systems[s]);
  }
  const std::string text(body.begin(), body.end());
  const std::vector<std::string> lines = manifest_lines(text);
  const std::vector<size_t> numbers = file_line_numbers(text, lines);
  report.line_count = lines.size();
  if (lines.empty()) {
    report.findings.push_back({0, finding_kind::fault, L"the manifest holds no line at all"});
    return report;
  }

  line_examiner header(report, numbers[0]);
  if (what_the_launcher_takes(lines[0], true).taken[installer_kind] ||
      what_the_launcher_takes(lines[0], false).taken[installer_kind]) {
    header.add(finding_kind::fault,
               L"an installer line stands where the header belongs: the launcher skips the first line "
               L"whatever it holds; put a header line above it");
  } else {
    header.add(finding_kind::note, L"header, skipped whatever it holds");
  }
  if (lines.size() == 1) {
    report.findings.push_back({0, finding_kind::fault, L"no line follows the header"});
  }

  // The line each system last took of each kind, to name the ones a later
  // line overrides.
  size_t last_taken[2][kind_count] = {};
  const int64_t now = current_utc_seconds();
  size_t freshness_lines = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    line_examiner examiner(report, numbers[i]);
    const std::vector<std::string> fields = manifest_fields(lines[i]);
    if (fields.empty()) {
      examiner.add(finding_kind::note, L"spaces only: the launcher finds no field in it and reads on");
      continue;
    }
    // No system's line: the launcher's parser takes nothing from it.
    if (equals_ascii_lower(fields[manifest_architecture_field], kManifestFreshnessWord)) {
      examiner.examine_freshness(lines[i], ++freshness_lines == 1, now);
      continue;
    }
    const line_take taken[2] = {what_the_launcher_takes(lines[i], kSystems[0]),
                                what_the_launcher_takes(lines[i], kSystems[1])};
    examiner.examine(fields, taken);
    for (int kind = 0; kind < kind_count; ++kind) {
      std::map<size_t, std::pair<bool, bool>> overridden;  // earlier line -> on 64-bit, on 32-bit
      for (int s = 0; s < 2; ++s) {
        if (!taken[s].taken[kind]) continue;
        if (last_taken[s][kind] != 0) {
          auto& on = overridden[last_taken[s][kind]];
          (s == 0 ? on.first : on.second) = true;
        }
        last_taken[s][kind] = numbers[i];
      }
      for (const auto& earlier : overridden) {
        const bool on[2] = {earlier.second.first, earlier.second.second};
        examiner.add(finding_kind::warning, L"overrides the " + std::wstring(kKindNames[kind]) + L" of line " +
                                                number(earlier.first) + L" on " + systems_text(on));
      }
    }
  }
  for (int s = 0; s < 2; ++s) {
    system_outcome& outcome = report.systems[s];
    outcome.installer.line = last_taken[s][installer_kind];
    outcome.manual.line = last_taken[s][manual_kind];
    outcome.new_major_line = last_taken[s][new_major_kind];
    outcome.installer_usable = usable_installer(outcome);
  }
  return report;
}

std::wstring describe_report(const manifest_report& report) {
  std::wstring text;
  for (const system_outcome& outcome : report.systems) {
    text += system_name(outcome.system_is_64bit) + L" takes:\n";
    text += describe_value(L"installer:        ", outcome.installer,
                           L"none, so the launcher falls back to the installer at hand");
    if (outcome.installer.line != 0 && !outcome.installer_usable) {
      text += L"                    (not usable: see the faults of line " + number(outcome.installer.line) + L")\n";
    }
    text += describe_value(L"manual:           ", outcome.manual, L"none, so the guide offers the vendor's page");
    text += L"  newer generation: ";
    if (outcome.new_major_line == 0) {
      text += L"none\n";
    } else {
      text += L"line " + number(outcome.new_major_line) + L", " + outcome.new_major_version +
              (outcome.new_major_url.empty() ? std::wstring(L", no page") : L", " + outcome.new_major_url) + L"\n";
    }
  }
  text += L"Lines:\n";
  for (const manifest_finding& finding : report.findings) {
    text += finding.line == 0 ? std::wstring(L"  file: ") : L"  line " + number(finding.line) + L": ";
    text += kind_label(finding.kind) + finding.text + L"\n";
  }
  std::wstring verdict;
  const bool usable[2] = {report.systems[0].installer_usable, report.systems[1].installer_usable};
  if (usable[0] && usable[1]) {
    verdict = L"both systems get an installer";
  } else if (!usable[0] && !usable[1]) {
    verdict = L"neither system gets a usable installer";
  } else {
    verdict = system_name(!usable[0]) + L" gets no usable installer";
  }
  text += L"Result: " + verdict + L"; " + plural(report.count(finding_kind::fault), L"fault", L"faults") + L", " +
          plural(report.count(finding_kind::warning), L"warning", L"warnings") + L".\n";
  return text;
}
