#include "update/redirect.h"

#include "support/ascii.h"

#include <cctype>
#include <cstring>

namespace {

constexpr DWORD kMovedPermanently = 301;
constexpr DWORD kFound = 302;
constexpr DWORD kSeeOther = 303;
constexpr DWORD kTemporaryRedirect = 307;
constexpr DWORD kPermanentRedirect = 308;

const char kHttpScheme[] = "http";
const char kHttpsScheme[] = "https";
const char kVerbGet[] = "GET";
const char kSchemeEnd[] = "://";
const char kNetworkPathStart[] = "//";
const char kWhitespace[] = " \t\r\n";
const char kAuthorityEnd[] = "/?";
constexpr char kFragmentStart = '#';
constexpr char kQueryStart = '?';
constexpr char kPathSeparator = '/';
constexpr char kUserInfoEnd = '@';
constexpr char kPortStart = ':';
constexpr char kLiteralEnd = ']';

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(kWhitespace);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(kWhitespace) - first + 1);
}

bool starts_with(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// "scheme:" in front of `text`, in lower case; empty when there is none.
std::string scheme_of(const std::string& text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return std::string();
  std::string scheme;
  for (const char c : text) {
    if (c == kPortStart) return scheme;
    const unsigned char u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != '+' && c != '-' && c != '.') return std::string();
    scheme += ascii_lower(c);
  }
  return std::string();
}

// Splits "//authority/path?query" (the text after the scheme's colon) into
// `request`'s host, port and path.
bool take_network_path(const std::string& text, http_request& request) {
  if (!starts_with(text, kNetworkPathStart)) return false;
  const std::string rest = text.substr(std::strlen(kNetworkPathStart));
  const size_t authority_end = rest.find_first_of(kAuthorityEnd);
  std::string authority = rest.substr(0, authority_end);
  std::string path =
      authority_end == std::string::npos ? std::string() : rest.substr(authority_end);
  if (path.empty() || path[0] == kQueryStart) path.insert(path.begin(), kPathSeparator);

  const size_t user_info_end = authority.rfind(kUserInfoEnd);
  if (user_info_end != std::string::npos) authority.erase(0, user_info_end + 1);
  // An IPv6 literal keeps its brackets; its colons are not a port.
  const size_t literal_end = authority.rfind(kLiteralEnd);
  const size_t port_start =
      authority.find(kPortStart, literal_end == std::string::npos ? 0 : literal_end);
  const std::string host = authority.substr(0, port_start);
  if (host.empty()) return false;

  request.host = host;
  request.port = port_start == std::string::npos ? std::string() : authority.substr(port_start + 1);
  request.path = path;
  return true;
}

}  // namespace

bool is_redirect_status(DWORD status) {
  return status == kMovedPermanently || status == kFound || status == kSeeOther ||
         status == kTemporaryRedirect || status == kPermanentRedirect;
}

bool redirect_request(http_request& request, DWORD status, const std::string& location) {
  std::string target = trimmed(location);
  target = target.substr(0, target.find(kFragmentStart));
  if (target.empty()) return false;

  http_request next = request;
  const std::string scheme = scheme_of(target);
  if (!scheme.empty()) {
    if (scheme != kHttpScheme && scheme != kHttpsScheme) return false;
    if (!starts_with(target.substr(scheme.size()), kSchemeEnd)) return false;
    next.secure = scheme == kHttpsScheme;
    if (!take_network_path(target.substr(scheme.size() + 1), next)) return false;
  } else if (starts_with(target, kNetworkPathStart)) {
    if (!take_network_path(target, next)) return false;
  } else if (target[0] == kPathSeparator) {
    next.path = target;
  } else {
    const std::string current = next.path.substr(0, next.path.find(kQueryStart));
    if (target[0] == kQueryStart) {
      next.path = current + target;
    } else {
      const size_t folder_end = current.rfind(kPathSeparator);
      next.path = (folder_end == std::string::npos ? std::string(1, kPathSeparator)
                                                   : current.substr(0, folder_end + 1)) +
                  target;
    }
  }

  const bool becomes_get = status == kSeeOther ||
                           ((status == kMovedPermanently || status == kFound) &&
                            _stricmp(next.method.c_str(), kVerbGet) != 0);
  if (becomes_get) {
    next.method = kVerbGet;
    next.body.clear();
  }
  request = next;
  return true;
}
