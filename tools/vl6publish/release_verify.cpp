#include "tools/vl6publish/release_verify.h"

#include "support/held_file.h"
#include "support/md5.h"
#include "support/publisher_signature.h"
#include "support/text_utils.h"
#include "tools/vl6publish/console_text.h"
#include "tools/vl6publish/exit_codes.h"
#include "tools/vl6publish/installer_signature.h"
#include "tools/vl6publish/manifest_check.h"
#include "tools/vl6publish/manifest_signature_report.h"
#include "tools/vl6publish/release_rules.h"
#include "tools/vl6publish/scratch_file.h"
#include "update/carried_credentials.h"
#include "update/download_limits.h"
#include "update/download_request.h"
#include "update/http_client.h"
#include "update/manifest_signing.h"
#include "update/update_server.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

const char kManifestSuffix[] = ".lt";
constexpr DWORD kHttpStatusNotFound = 404;

std::wstring number(size_t value) { return std::to_wstring(value); }

struct fetched {
  DWORD result = 0;
  DWORD status = 0;
  std::vector<char> body;

  bool ok() const { return result == ERROR_SUCCESS && status == kHttpStatusOk; }
  std::wstring outcome() const {
    if (result != ERROR_SUCCESS) return L"not reached (Windows error " + number(result) + L")";
    return L"status " + number(status) + L", " + number(body.size()) + L" bytes";
  }
};

// The owner of WinINet's credentials dialog: the console's window, or a
// hidden window of the tool's own when it has no console window (started
// from another program, or under Wine), since the dialog needs an owner.
class dialog_owner {
public:
  dialog_owner() : console_(::GetConsoleWindow()) {
    if (!console_) {
      own_ = ::CreateWindowExW(0, L"STATIC", L"vl6publish", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                               nullptr, nullptr);
    }
  }
  ~dialog_owner() {
    if (own_) ::DestroyWindow(own_);
  }
  dialog_owner(const dialog_owner&) = delete;
  dialog_owner& operator=(const dialog_owner&) = delete;
  HWND get() const { return console_ ? console_ : own_; }

private:
  HWND console_;
  HWND own_ = nullptr;
};

// Requests as the launcher's downloader makes them, one after the other,
// with the proxy credentials of the last success carried to the next.
class release_fetcher {
public:
  release_fetcher(const std::string& proxy_host, const std::string& proxy_port)
      : proxy_host_(proxy_host), proxy_port_(proxy_port) {}

  // `body_limit`: as the launcher caps the same request.
  fetched fetch(const std::string& url, size_t body_limit = kInstallerSizeLimit) {
    http_request request = prepare_download_request(url, proxy_user_, proxy_password_);
    request.body_limit = body_limit;
    request.proxy_host = proxy_host_;
    request.proxy_port = proxy_port_;
    fetched answer;
    const fetch_answer sent = fetch_carrying_credentials(owner_.get(), request, answer.body, proxy_user_,
                                                         proxy_password_);
    answer.result = sent.result;
    answer.status = sent.status;
    return answer;
  }

private:
  dialog_owner owner_;
  std::string proxy_host_;
  std::string proxy_port_;
  std::string proxy_user_;
  std::string proxy_password_;
};

const wchar_t kInstallerKind[] = L"installer";
const wchar_t kManualKind[] = L"manual";

// One file the manifest gives to one or both systems.
struct release_file {
  const wchar_t* kind;  // kInstallerKind or kManualKind
  size_t line;
  std::wstring md5;
  std::wstring url;
  bool on[2];
};

void add_file(std::vector<release_file>& files, const wchar_t* kind, const taken_value& value, int system) {
  if (value.line == 0) return;
  for (release_file& file : files) {
    if (file.line == value.line && file.url == value.url && file.md5 == value.md5) {
      file.on[system] = true;
      return;
    }
  }
  release_file file{kind, value.line, value.md5, value.url, {false, false}};
  file.on[system] = true;
  files.push_back(file);
}

std::wstring systems_text(const bool on[2]) {
  if (on[0] && on[1]) return L"64-bit and 32-bit systems";
  return on[0] ? L"64-bit systems" : L"32-bit systems";
}

bool ends_with(const std::string& text, const char* suffix) {
  const std::string tail(suffix);
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The manifest's URL: as given when its path names an ".lt" file, otherwise
// the launcher's manifest request below the given base.
std::string manifest_url(std::string url) {
  const std::string target = examine_url(url).request_target;
  if (ends_with(target.substr(0, target.find('?')), kManifestSuffix)) return url;
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url + kManifestTarget;
}

// The signature's URL: the manifest's path with ".p7s" added, its query kept
// (below a server's address: kManifestSignatureTarget).
std::string signature_url(const std::string& manifest) {
  const size_t query = manifest.find('?');
  if (query == std::string::npos) return manifest + VELORA_MANIFEST_SIGNATURE_SUFFIX;
  return manifest.substr(0, query) + VELORA_MANIFEST_SIGNATURE_SUFFIX + manifest.substr(query);
}

bool split_proxy(const std::wstring& proxy, std::string& host, std::string& port) {
  if (proxy.empty()) return true;
  const std::string text = wide_to_ansi(proxy);
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  host = text.substr(0, colon);
  port = text.substr(colon + 1);
  if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long number = std::stoul(port);
  return number > 0 && number < 65536;
}

// Lays the body down where the launcher's check can read it, holds it, and
// adds its signer and verdict to `text`. Returns whether the launcher would
// start it.
bool installer_signed(const std::vector<char>& body, const std::wstring& publisher, const publisher_roots& roots,
                      std::wstring& text) {
  const scratch_file copy(body);
  if (copy.Path().empty()) {
    text += L"\n    signature not checked: no temporary copy (Windows error " + number(copy.Error()) + L")";
    return false;
  }
  const held_file held(copy.Path());
  const signature_verdict verdict = check_publisher_signature(held, publisher, roots);
  text += (verdict.trusted ? L"\n    " : L"\n    REFUSED: ") + describe_verdict(verdict, publisher);
  return verdict.trusted;
}

}  // namespace

int verify_release(const verify_inputs& inputs) {
  std::string proxy_host;
  std::string proxy_port;
  if (!split_proxy(inputs.proxy, proxy_host, proxy_port)) {
    write_error(L"vl6publish: --proxy wants HOST:PORT, not \"" + inputs.proxy + L"\"\n");
    return exit_usage;
  }
  release_fetcher fetcher(proxy_host, proxy_port);
  // Narrowed as the downloader narrows the URLs it fetches.
  const std::string url = manifest_url(wide_to_ansi(inputs.url));
  const fetched manifest = fetcher.fetch(url);
  write_out(L"manifest " + ansi_to_wide(CP_ACP, url) + L": " + manifest.outcome() + L"\n");
  if (!manifest.ok() || manifest.body.empty()) {
    write_out(L"Result: no manifest, nothing to verify.\n");
    return exit_fault_found;
  }
  // The signature beside it, as the launcher asks for it.
  const std::string signature_address = signature_url(url);
  const fetched signature = fetcher.fetch(signature_address, kManifestSignatureSizeLimit);
  std::wstring signature_text = L"signature " + ansi_to_wide(CP_ACP, signature_address) + L": " + signature.outcome();
  std::wstring signature_result;
  if (signature.ok()) {
    const manifest_signature_report report =
        report_manifest_signature(manifest.body, signature.body, inputs.publisher, inputs.roots, current_utc_seconds());
    signature_text += L"\n" + report.lines;
    signature_result = report.result;
  } else if (signature.result == ERROR_SUCCESS && signature.status == kHttpStatusNotFound) {
    signature_text += L": the manifest is unsigned; launchers that check signatures refuse it\n";
    if (inputs.signed_required) signature_result = L"the manifest is unsigned";
  } else {
    signature_text += L": the signature could not be had; launchers that check signatures refuse the manifest\n";
    signature_result = L"the manifest's signature could not be had";
  }
  write_out(signature_text);
  write_out(inputs.publisher.empty() ? std::wstring(L"installers: signatures not checked (no publisher given)\n")
                                     : L"installers must be signed by \"" + inputs.publisher + L"\"\n");

  const manifest_report report = check_manifest(manifest.body);
  for (const manifest_finding& finding : report.findings) {
    if (finding.kind == finding_kind::note) continue;
    write_out(L"  manifest line " + number(finding.line) +
              (finding.kind == finding_kind::fault ? L": fault: " : L": warning: ") + finding.text + L"\n");
  }
  std::vector<release_file> files;
  bool every_system = true;
  for (int system = 0; system < 2; ++system) {
    const system_outcome& outcome = report.systems[system];
    if (outcome.installer.line == 0) {
      write_out(L"  " + system_name(outcome.system_is_64bit) + L": no installer in the manifest\n");
      every_system = false;
    }
    add_file(files, kInstallerKind, outcome.installer, system);
  }
  for (int system = 0; system < 2; ++system) add_file(files, kManualKind, report.systems[system].manual, system);

  size_t failed = 0;
  size_t refused = 0;
  for (const release_file& file : files) {
    std::wstring text = L"line " + number(file.line) + L", " + file.kind + L" for " + systems_text(file.on) + L": " +
                        file.url + L"\n    ";
    const fetched answer = fetcher.fetch(wide_to_ansi(file.url));
    text += answer.outcome();
    bool matched = false;
    if (answer.ok()) {
      if (answer.body.empty()) {
        text += L", empty: the launcher refuses an empty download";
      } else {
        const std::wstring actual = ansi_to_wide(CP_ACP, md5_text_of(answer.body.data(), answer.body.size()));
        matched = same_md5_text(actual, file.md5);
        text += matched ? L", MD5 matches" : L", MD5 differs: manifest " + file.md5 + L", file " + actual;
      }
    }
    if (!matched) ++failed;
    // What the launcher's gate says of the very bytes served, whatever their digest.
    if (file.kind == kInstallerKind && answer.ok() && !answer.body.empty()) {
      if (!installer_signed(answer.body, inputs.publisher, inputs.roots, text)) ++refused;
    }
    write_out(text + L"\n");
  }
  const bool passed = failed == 0 && refused == 0 && every_system && signature_result.empty();
  write_out(L"Result: " + number(files.size() - failed) + L" of " + number(files.size()) + L" files match" +
            (refused ? L"; " + number(refused) + L" installer(s) the launcher refuses to start" : L"") +
            (signature_result.empty() ? L"" : L"; " + signature_result) +
            (every_system ? L"" : L"; a system gets no installer") + (passed ? L"." : L"; NOT a good release.") +
            L"\n");
  return passed ? exit_ok : exit_fault_found;
}
