#include "update/web_address.h"

#include "support/system_log.h"

#include <cwchar>
#include <cwctype>

namespace {

const wchar_t* const kWebSchemes[] = {L"http://", L"https://"};
const wchar_t kRefusedLine[] = L"refused to open %s: not a web address.";

// Where the host and port end and the path, query or fragment begin.
const wchar_t kAuthorityEnd[] = L"/?#";
// ASCII characters a URL never holds as they are; they must be
// percent-encoded. A quote would end the browser's argument early.
const wchar_t kNeverInAUrl[] = L" \"<>\\^`{|}";
constexpr wchar_t kPortSeparator = L':';
constexpr wchar_t kIpv6Open = L'[';
constexpr wchar_t kIpv6Close = L']';
constexpr wchar_t kLastAscii = 0x7F;
constexpr wchar_t kFirstPrintable = 0x20;
// C1 control characters: controls of Unicode as well, never in a URL.
constexpr wchar_t kFirstC1 = 0x80;
constexpr wchar_t kLastC1 = 0x9F;

bool starts_with_ignoring_case(const std::wstring& text, const wchar_t* prefix) {
  size_t i = 0;
  for (; prefix[i] != L'\0'; ++i) {
    if (i == text.size() || std::towlower(text[i]) != prefix[i]) return false;
  }
  return true;
}

bool is_control(wchar_t c) {
  return c < kFirstPrintable || c == kLastAscii || (c >= kFirstC1 && c <= kLastC1);
}

bool is_ascii_alnum(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

bool is_digits(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

// A host name or IPv4 address: letters, digits, "-", ".", "_", "~" and
// characters beyond ASCII (an internationalised name).
bool is_host_name(const std::wstring& host) {
  if (host.empty()) return false;
  for (wchar_t c : host) {
    if (!is_ascii_alnum(c) && c != L'-' && c != L'.' && c != L'_' && c != L'~' && c <= kLastAscii) {
      return false;
    }
  }
  return true;
}

bool is_ipv6_literal(const std::wstring& inside) {
  if (inside.empty()) return false;
  for (wchar_t c : inside) {
    if (!std::iswxdigit(c) && c != L':' && c != L'.') return false;
  }
  return true;
}

// host, or host:port, with the host a name or a bracketed IPv6 literal.
bool is_authority(const std::wstring& authority) {
  std::wstring host = authority;
  std::wstring port;
  if (!authority.empty() && authority.front() == kIpv6Open) {
    const size_t close = authority.find(kIpv6Close);
    if (close == std::wstring::npos || !is_ipv6_literal(authority.substr(1, close - 1))) return false;
    host = authority.substr(0, close + 1);
    const std::wstring rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != kPortSeparator) return false;
      port = rest.substr(1);
      if (port.empty()) return false;
    }
  } else {
    const size_t colon = authority.find(kPortSeparator);
    if (colon != std::wstring::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
      if (port.empty()) return false;
    }
    if (!is_host_name(host)) return false;
  }
  return is_digits(port);
}

}  // namespace

bool is_web_address(const std::wstring& address) {
  for (wchar_t c : address) {
    if (is_control(c) || std::wcschr(kNeverInAUrl, c) != nullptr) return false;
  }
  for (const wchar_t* scheme : kWebSchemes) {
    if (!starts_with_ignoring_case(address, scheme)) continue;
    const std::wstring rest = address.substr(std::wcslen(scheme));
    return is_authority(rest.substr(0, rest.find_first_of(kAuthorityEnd)));
  }
  return false;
}

bool accept_web_address(const std::wstring& address) {
  if (is_web_address(address)) return true;
  g_system_log.write_w(my_system_log::level_failure, kRefusedLine, address.c_str());
  return false;
}
