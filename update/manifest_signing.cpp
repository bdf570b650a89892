#include "update/manifest_signing.h"

#include "support/detached_signature.h"
#include "update/manifest_reader.h"
#include "update/manifest_version.h"

#include <windows.h>

#include <boost/format.hpp>

namespace {

// FILETIME counts 100 ns steps from 1601-01-01.
constexpr int64_t kFileTimeOf1970 = 116444736000000000LL;
constexpr int64_t kFileTimeStepsPerSecond = 10000000LL;

std::wstring ascii_wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

manifest_judgement refuse(std::wstring why) {
  manifest_judgement judgement;
  judgement.refusal = std::move(why);
  return judgement;
}

}  // namespace

manifest_judgement judge_signed_manifest(const std::vector<char>& manifest, const std::vector<char>& signature,
                                         const manifest_signing& signing, bool system_is_64bit, int64_t now) {
  if (signature.empty()) return refuse(L"no signature");
  const signature_verdict verdict = check_detached_signature(manifest, signature, signing.publisher, signing.roots);
  if (!verdict.trusted) {
    return refuse((boost::wformat(L"signature step %s result 0x%08X signer %s") % verdict.step_name() %
                   static_cast<unsigned long>(verdict.result) % verdict.signer.describe())
                      .str());
  }

  const std::optional<manifest_freshness> freshness = read_freshness(std::string(manifest.begin(), manifest.end()));
  if (!freshness) return refuse(L"no valid freshness line");
  if (freshness->expires_at <= now) return refuse(L"expired at " + ascii_wide(utc_time_text(freshness->expires_at)));

  const uint64_t highest = signing.serials ? signing.serials->highest() : 0;
  if (freshness->serial < highest) {
    return refuse((boost::wformat(L"serial %u is lower than %u, accepted before") % freshness->serial % highest).str());
  }

  const manifest_values values = read_manifest(manifest, system_is_64bit);
  if (!values.installer_version.empty() &&
      compare_manifest_versions(values.installer_version, signing.launcher_version) < 0) {
    return refuse(L"installer " + ascii_wide(values.installer_version) + L" is older than this launcher, " +
                  ascii_wide(signing.launcher_version));
  }

  manifest_judgement judgement;
  judgement.accepted = true;
  judgement.freshness = *freshness;
  return judgement;
}

int64_t current_utc_seconds() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const int64_t steps = (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (steps - kFileTimeOf1970) / kFileTimeStepsPerSecond;
}
