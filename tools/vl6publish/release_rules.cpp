#include "tools/vl6publish/release_rules.h"

#include "support/ascii.h"
#include "support/md5.h"
#include "update/download_request.h"
#include "update/url_info.h"

#include <vector>

namespace {

const char kSchemeEnd[] = "://";
const char kAuthorityEnd[] = "/?#";
const char kHttpScheme[] = "http";
const char kHttpsScheme[] = "https";

}  // namespace

bool is_md5_text(const std::string& text) {
  if (text.size() != 2 * md5_digest_size) return false;
  for (char c : text) {
    if (!is_hex_digit(c)) return false;
  }
  return true;
}

bool has_capitals(const std::string& text) {
  for (char c : text) {
    if (is_ascii_upper(c)) return true;
  }
  return false;
}

url_facts examine_url(const std::string& url) {
  url_facts facts;
  url_info parts;
  facts.names_host = parts.parse(url) && !parts.host.empty();
  facts.scheme = parts.scheme;
  facts.fetchable = parts.scheme == kHttpScheme || parts.scheme == kHttpsScheme;
  const size_t scheme_end = url.find(kSchemeEnd);
  if (scheme_end != std::string::npos) {
    const size_t target = url.find_first_of(kAuthorityEnd, scheme_end + sizeof(kSchemeEnd) - 1);
    if (target != std::string::npos) facts.written_target = url.substr(target);
  }
  facts.request_target = prepare_download_request(url, std::string(), std::string()).path;
  return facts;
}

bool to_manifest_text(const std::wstring& text, std::string& converted) {
  converted.clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  const int needed = ::WideCharToMultiByte(kManifestCodePage, WC_NO_BEST_FIT_CHARS, text.data(), length,
                                           nullptr, 0, nullptr, &lossy);
  if (needed <= 0 || lossy) return false;
  std::vector<char> bytes(static_cast<size_t>(needed));
  ::WideCharToMultiByte(kManifestCodePage, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(),
                        needed, nullptr, &lossy);
  if (lossy) return false;
  converted.assign(bytes.begin(), bytes.end());
  return true;
}
