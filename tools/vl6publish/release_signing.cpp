#include "tools/vl6publish/release_signing.h"

#include "support/detached_signature.h"
#include "tools/vl6publish/exit_codes.h"
#include "tools/vl6publish/freshness_text.h"
#include "tools/vl6publish/installer_signature.h"
#include "tools/vl6publish/utc_seconds.h"
#include "tools/vl6publish/whole_file.h"
#include "update/manifest_signing.h"

#include <windows.h>

namespace {

const char kLineEnd[] = "\r\n";
// What the identity signs before anything is written: whether the launcher
// would accept a signature of it is known before the release is laid out.
const char kTrialText[] = "vl6publish: trial of the signing identity\r\n";
constexpr uint64_t kFirstSerial = 1;

std::vector<char> bytes_of(const std::string& text) { return std::vector<char>(text.begin(), text.end()); }

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

signing_problem release_signing::prepare(const signing_inputs& inputs, const std::wstring& publisher,
                                         const publisher_roots& roots, const std::wstring& manifest_path) {
  certificate_path_ = inputs.certificate;
  publisher_ = publisher;
  roots_ = roots;
  expires_days_ = inputs.expires_days;
  if (signing_problem problem = identity_.load(inputs.certificate, inputs.key)) return problem;

  std::vector<char> trial_signature;
  if (!identity_.sign(bytes_of(kTrialText), current_utc_seconds(), trial_signature)) {
    return signing_problem{exit_refused, L"--sign-cert " + inputs.certificate + L": CryptoAPI could not sign with "
                                         L"it (Windows error " + std::to_wstring(::GetLastError()) + L")"};
  }
  const signature_verdict verdict =
      check_detached_signature(bytes_of(kTrialText), trial_signature, publisher_, roots_);
  if (!verdict.trusted) {
    return signing_problem{exit_refused, L"--sign-cert " + inputs.certificate + L": " +
                                             describe_verdict(verdict, publisher_) +
                                             L"; the launcher would refuse the manifest's signature"};
  }
  return take_serial(manifest_path);
}

signing_problem release_signing::take_serial(const std::wstring& manifest_path) {
  std::vector<char> replaced;
  if (!read_whole_file(manifest_path, replaced)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      return signing_problem{exit_file_error, L"cannot read " + manifest_path + L", the manifest of the release "
                                              L"this one replaces (Windows error " + std::to_wstring(error) + L")"};
    }
    freshness_.serial = kFirstSerial;
    serial_origin_ = L"the first release in this folder";
    return signing_problem();
  }
  const std::optional<manifest_freshness> previous = read_freshness(std::string(replaced.begin(), replaced.end()));
  if (previous) {
    freshness_.serial = previous->serial + 1;
    serial_origin_ = L"the release it replaces carried " + std::to_wstring(previous->serial);
    return signing_problem();
  }
  freshness_.serial = kFirstSerial;
  serial_origin_ = L"the release it replaces carries no readable freshness line";
  warnings_ += L"vl6publish: warning: " + manifest_path +
               L", the manifest this release replaces, has no readable freshness line, so the serial starts again "
               L"at 1; launchers that took a signed release with a higher serial refuse this one\n";
  return signing_problem();
}

signing_problem release_signing::sign(std::string& manifest, std::vector<char>& signature) {
  freshness_.signed_at = current_utc_seconds();
  freshness_.expires_at = freshness_.signed_at + expires_days_ * kSecondsPerDay;
  manifest += freshness_line(freshness_) + kLineEnd;
  const std::vector<char> content = bytes_of(manifest);
  if (!identity_.sign(content, freshness_.signed_at, signature)) {
    return signing_problem{exit_refused, L"--sign-cert " + certificate_path_ + L": CryptoAPI could not sign the "
                                         L"manifest (Windows error " + std::to_wstring(::GetLastError()) + L")"};
  }
  // What was just made, judged as the launcher judges it.
  const signature_verdict verdict = check_detached_signature(content, signature, publisher_, roots_);
  signer_ = describe_verdict(verdict, publisher_);
  if (!verdict.trusted) {
    return signing_problem{exit_refused, L"the manifest's signature just made would be refused: " + signer_};
  }
  const int64_t certificate_end = seconds_of(identity_.certificate()->pCertInfo->NotAfter);
  if (certificate_end < freshness_.expires_at) {
    warnings_ += L"vl6publish: warning: the signing certificate expires " + wide(utc_time_text(certificate_end)) +
                 L", before the manifest does; launchers refuse the manifest's signature from then on\n";
  }
  return signing_problem();
}

std::wstring release_signing::freshness_report() const {
  return describe_freshness(freshness_, freshness_.signed_at) + L"; " + serial_origin_;
}
