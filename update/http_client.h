#pragma once
// The launcher's one network operation: a synchronous HTTP or HTTPS request
// through WinINet, with the whole response returned in memory.
#include "update/download_limits.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Each of WinINet's five limits (connect, send, receive, data send, data
// receive) for one request, in milliseconds.
constexpr DWORD kHttpTimeoutMs = 30000;

// Redirects followed for one request at most: more than any mirror or
// content network needs, and a loop ends after as many requests.
constexpr unsigned kMaxRedirects = 10;

struct http_request {
  bool secure = false;                     // HTTPS
  std::string user_agent = "Velora/6.0";
  std::string host;
  std::string port;                        // empty, non-numeric or 0: the scheme's default
  std::string path;                        // path and query; empty means "/"
  std::string method;                      // POST, GET or CONNECT in any case; else POST
  std::string proxy_host;                  // empty: the system's proxy configuration
  std::string proxy_port;
  std::string proxy_user;                  // set on the request before sending
  std::string proxy_password;
  std::vector<std::pair<std::string, std::string>> headers;  // sent in this order
  std::vector<char> body;                  // nothing is sent when empty
  // The largest answer body taken, in bytes; by default an installer's.
  size_t body_limit = kInstallerSizeLimit;
};

// Performs `request`, following redirects (301, 302, 303, 307, 308) with the
// same fields, time-outs, certificate checks and proxy credentials. Returns 0
// when the last request was sent, whatever the HTTP status; otherwise the
// Windows error of the step that failed (opening the session, connection or
// request, or sending), or ERROR_HTTP_REDIRECT_FAILED, with a log line, after
// more than kMaxRedirects redirects or one to an address that is not http or
// https, or ERROR_FILE_TOO_LARGE, with a log line, for a body longer than
// `request.body_limit`: one announced longer is never read, any other is
// read no further than one byte past the limit, and `body` is then empty.
// `status` starts at 100 and gets the HTTP status of the last answer when it
// can be read; `headers` the raw header block (empty when it is longer than
// 1023 bytes); `body` the whole entity body, never more memory than the
// limit.
// May change the request: an empty path becomes "/", and a body that does
// not end in NUL gets one (which is not sent). A proxy or server that asks
// for credentials gets WinINet's dialog, owned by `parent`.
DWORD get_data_by_wininet(HWND parent, http_request& request, DWORD& status,
                          std::string& headers, std::vector<char>& body);

// The proxy credentials that the last successful (2xx, body taken) request
// used, so that a later request can supply them up front. Empty after any
// other outcome.
std::string get_captured_proxy_user();
std::string get_captured_proxy_password();
