#include "update/download_request.h"

#include "update/url_info.h"

namespace {

const char kSecureScheme[] = "https";
const char kRootPath[] = "/";
const char kMethodGet[] = "GET";
const char kCacheControlHeader[] = "Cache-Control";
const char kPragmaHeader[] = "Pragma";
const char kNoCache[] = "no-cache";

// Bytes a URL never holds as such: blanks and control characters. A line
// break would end the request line early and let the manifest's text write
// headers of its own into the request.
bool holds_raw_blank_or_control(const std::string& url) {
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return true;
  }
  return false;
}

}  // namespace

http_request prepare_download_request(const std::string& url, const std::string& proxy_user,
                                      const std::string& proxy_password) {
  http_request request;
  url_info parts;
  // Such a URL is no URL: the request gets no host, and fails as one for
  // an address that cannot be read.
  if (!holds_raw_blank_or_control(url)) parts.parse(url);
  request.host = parts.host;
  request.port = parts.port;
  request.path = (!parts.path.empty() && parts.path.front() == '/') ? parts.path
                                                                     : kRootPath + parts.path;
  if (!parts.query.empty()) request.path += parts.query;
  request.secure = parts.scheme == kSecureScheme;
  request.method = kMethodGet;
  if (!proxy_user.empty()) {
    request.proxy_user = proxy_user;
    request.proxy_password = proxy_password;
  }
  request.headers.emplace_back(kCacheControlHeader, kNoCache);
  request.headers.emplace_back(kPragmaHeader, kNoCache);
  return request;
}
