#include "tools/vl6publish/manifest_signature_report.h"

#include "support/detached_signature.h"
#include "tools/vl6publish/freshness_text.h"
#include "tools/vl6publish/installer_signature.h"
#include "update/manifest_freshness.h"

#include <optional>

namespace {

const wchar_t kIndent[] = L"    ";
const wchar_t kRefusedByLaunchers[] = L"; launchers that check signatures refuse the manifest";

void add(manifest_signature_report& report, const std::wstring& line) { report.lines += kIndent + line + L"\n"; }

void fault(manifest_signature_report& report, const std::wstring& line, const wchar_t* result) {
  add(report, line);
  if (!report.fault) report.result = result;
  report.fault = true;
}

}  // namespace

manifest_signature_report report_manifest_signature(const std::vector<char>& manifest,
                                                    const std::vector<char>& signature,
                                                    const std::wstring& publisher, const publisher_roots& roots,
                                                    int64_t now) {
  manifest_signature_report report;
  if (publisher.empty()) {
    add(report, L"signature not checked: no publisher given");
  } else {
    const signature_verdict verdict = check_detached_signature(manifest, signature, publisher, roots);
    if (verdict.trusted) {
      add(report, describe_verdict(verdict, publisher));
    } else {
      fault(report, L"REFUSED: " + describe_verdict(verdict, publisher) + kRefusedByLaunchers,
            L"the manifest's signature is refused");
    }
  }
  const std::optional<manifest_freshness> freshness = read_freshness(std::string(manifest.begin(), manifest.end()));
  if (!freshness) {
    fault(report, std::wstring(L"REFUSED: no readable freshness line") + kRefusedByLaunchers,
          L"the signed manifest has no readable freshness line");
  } else if (has_expired(*freshness, now)) {
    fault(report, L"EXPIRED: " + describe_freshness(*freshness, now) + kRefusedByLaunchers,
          L"the manifest has expired");
  } else {
    add(report, describe_freshness(*freshness, now));
  }
  return report;
}
