#include "update/http_client.h"

#include "support/system_libraries.h"
#include "support/system_log.h"
#include "update/internet_handle.h"
#include "update/redirect.h"

#include <boost/format.hpp>

#include <winsock2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <tuple>
#include <utility>

namespace {

const char kSecureScheme[] = "https:";
const char kPlainScheme[] = "http:";
const char kReferrerWithPort[] = "%s//%s:%s/";
const char kReferrer[] = "%s//%s/";
const char kHeaderLine[] = "%s: %s\r\n";
const char kDefaultPath[] = "/";
const char kVerbPost[] = "POST";
const char kVerbGet[] = "GET";
const char kVerbConnect[] = "CONNECT";
const char kSendFailedLine[] = "HttpSendRequestA Err 0x%x";
const char kTooManyRedirectsLine[] = "Redirected more than %u times, last to %s";
const char kBadRedirectLine[] = "Redirect to %s not followed";
const char kBodyTooLargeLine[] = "InternetReadFile out of memory after %u bytes";
const char kAnnouncedOverLimitLine[] = "response body over the limit of %I64u bytes: %I64u announced, nothing read";
const char kReadOverLimitLine[] = "response body over the limit of %I64u bytes: reading stopped there";

constexpr DWORD kTimeoutOptions[] = {
    INTERNET_OPTION_CONNECT_TIMEOUT,   INTERNET_OPTION_RECEIVE_TIMEOUT,
    INTERNET_OPTION_SEND_TIMEOUT,      INTERNET_OPTION_DATA_SEND_TIMEOUT,
    INTERNET_OPTION_DATA_RECEIVE_TIMEOUT,
};
// Manifests and installers are read once and kept by the launcher itself:
// nothing goes into the user's WinINet cache.
// Redirects are followed here, not by WinINet, which under Wine follows a
// redirect to the same address without end.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_AUTO_REDIRECT;
// Servers of the product are reached by address and through inspecting
// proxies: an unknown issuer or another host name is accepted, an expired
// certificate is not.
constexpr DWORD kIgnoredCertificateChecks = SECURITY_FLAG_IGNORE_REVOCATION |
                                            SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                            SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
constexpr DWORD kErrorDialogFlags = FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                    FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                    FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;
constexpr DWORD kInitialStatus = 100;
constexpr size_t kWorkBufferSize = 1024;
constexpr DWORD kWorkCapacity = kWorkBufferSize - 1;
constexpr INTERNET_PORT kHttpsPort = 443;
constexpr INTERNET_PORT kHttpPort = 80;

// Proxy credentials of the last 2xx answer; every clear, fill and copy is
// whole under this lock, since both workflows may request at once.
struct captured_credentials {
  std::mutex lock;
  std::string user;
  std::string password;
};

captured_credentials& captured() {
  static captured_credentials credentials;
  return credentials;
}

// Winsock is started while the process loads and cleaned up at exit.
class winsock_guard {
public:
  winsock_guard() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 0), &data) == 0;
  }
  ~winsock_guard() {
    if (started_) ::WSACleanup();
  }
  winsock_guard(const winsock_guard&) = delete;
  winsock_guard& operator=(const winsock_guard&) = delete;

private:
  bool started_ = false;
};
const winsock_guard g_winsock;

const char* verb_of(const std::string& method) {
  for (const char* verb : {kVerbPost, kVerbGet, kVerbConnect}) {
    if (_stricmp(method.c_str(), verb) == 0) return verb;
  }
  return kVerbPost;
}

INTERNET_PORT port_of(const http_request& request) {
  const auto number = static_cast<INTERNET_PORT>(std::strtol(request.port.c_str(), nullptr, 10));
  if (number != 0) return number;
  return request.secure ? kHttpsPort : kHttpPort;
}

std::string proxy_text(const http_request& request) {
  if (!request.proxy_host.empty() && !request.proxy_port.empty()) {
    return request.proxy_host + ":" + request.proxy_port;
  }
  return request.proxy_host;
}

std::string header_block(const http_request& request) {
  std::string block;
  for (const auto& [name, value] : request.headers) {
    block += boost::str(boost::format(kHeaderLine) % name % value);
  }
  return block;
}

// Windows hands the session's limits down to its connections and requests;
// Wine keeps them where they are set, and without them on the request a
// server that never answers holds the worker for good. So every handle gets
// them.
void set_timeouts(const wininet_functions& wininet, HINTERNET handle) {
  for (DWORD option : kTimeoutOptions) {
    DWORD timeout = kHttpTimeoutMs;
    wininet.InternetSetOptionA(handle, option, &timeout, sizeof(timeout));
  }
}

// The buffer's text up to its first NUL.
std::string text_of(const char* buffer) { return std::string(buffer); }

// The proxy credentials that `request` holds: those set on it, or those typed
// into the credentials dialog for it.
std::pair<std::string, std::string> proxy_credentials_of(const wininet_functions& wininet,
                                                         HINTERNET request, char* buffer) {
  DWORD capacity = kWorkCapacity;
  std::memset(buffer, 0, kWorkBufferSize);
  wininet.InternetQueryOptionA(request, INTERNET_OPTION_PROXY_USERNAME, buffer, &capacity);
  std::string user = text_of(buffer);
  capacity = kWorkCapacity;
  std::memset(buffer, 0, kWorkBufferSize);
  wininet.InternetQueryOptionA(request, INTERNET_OPTION_PROXY_PASSWORD, buffer, &capacity);
  return {user, text_of(buffer)};
}

void fill_captured(const wininet_functions& wininet, HINTERNET request, char* buffer) {
  auto [user, password] = proxy_credentials_of(wininet, request, buffer);
  std::lock_guard<std::mutex> hold(captured().lock);
  captured().user = std::move(user);
  captured().password = std::move(password);
}

// The body length the answer announces (Content-Length); false when it
// announces none. Text that is no number reads as 0, one beyond the largest
// number as that number.
bool announced_length(const wininet_functions& wininet, HINTERNET request, char* buffer,
                      unsigned long long& length) {
  DWORD capacity = kWorkCapacity;
  DWORD index = 0;
  std::memset(buffer, 0, kWorkBufferSize);
  if (!wininet.HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, buffer, &capacity, &index)) return false;
  length = std::strtoull(buffer, nullptr, 10);
  return true;
}

// Grows the body once to the announced size, at most the limit, so that a
// large download does not pass through the vector's doubling; a size that
// cannot be had is left to ordinary growth.
void reserve_announced_length(unsigned long long announced, std::vector<char>& body) {
  if (announced == 0) return;
  try {
    body.reserve(static_cast<size_t>(announced));
  } catch (const std::exception&) {
    // Address space is short in a 32-bit process: read without reserving.
  }
}

// Makes room for `more` bytes, doubling as a vector would but never past
// `limit`: a body that ends at the limit holds no more memory than that.
void make_room_within(std::vector<char>& body, size_t more, size_t limit) {
  const size_t needed = body.size() + more;
  if (needed <= body.capacity()) return;
  body.reserve(std::min(limit, std::max(needed, body.capacity() * 2)));
}

// Reads the head's raw block and the body, no further than `limit` bytes of
// it: ERROR_FILE_TOO_LARGE, with no body, for a body announced or found to be
// longer; otherwise ERROR_SUCCESS.
DWORD read_response(const wininet_functions& wininet, HINTERNET request, char* buffer, size_t limit,
                    std::string& headers, std::vector<char>& body) {
  // The raw header block is a single record: one query at index 0. (Asking on
  // with a rising index gains nothing, and WinINet implementations that ignore
  // the index for this query answer every index with the whole block again.)
  DWORD capacity = kWorkCapacity;
  DWORD index = 0;
  std::memset(buffer, 0, kWorkBufferSize);
  if (wininet.HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &capacity, &index) &&
      capacity > 0) {
    headers = text_of(buffer);
  }

  // Whoever answers chooses the length: one past the limit is refused before
  // anything is read or reserved.
  unsigned long long announced = 0;
  if (announced_length(wininet, request, buffer, announced)) {
    if (announced > limit) {
      g_system_log.write_a(my_system_log::level_result, kAnnouncedOverLimitLine,
                           static_cast<unsigned long long>(limit), announced);
      return ERROR_FILE_TOO_LARGE;
    }
    reserve_announced_length(announced, body);
  }

  // An announced length may lie, and a chunked or close-delimited body
  // announces none: the reads themselves stop at the limit. At the limit one
  // more byte is asked for, which tells a body that ends there from a longer
  // one; it is never kept.
  std::memset(buffer, 0, kWorkBufferSize);
  DWORD read = 0;
  bool over_limit = false;
  try {
    for (;;) {
      const size_t room = limit - body.size();
      const DWORD wanted = room == 0 ? 1 : static_cast<DWORD>(std::min<size_t>(room, kWorkCapacity));
      if (!wininet.InternetReadFile(request, buffer, wanted, &read) || read == 0) break;
      if (room == 0) {
        over_limit = true;
        break;
      }
      make_room_within(body, read, limit);
      body.insert(body.end(), buffer, buffer + read);
      std::memset(buffer, 0, kWorkBufferSize);
      read = 0;
    }
  } catch (const std::bad_alloc&) {
    // A body larger than the process can hold ends like a failed read: what
    // was read stays, and its digest will not match.
    g_system_log.write_a(my_system_log::level_trace, kBodyTooLargeLine,
                         static_cast<unsigned int>(body.size()));
  }
  if (over_limit) {
    g_system_log.write_a(my_system_log::level_result, kReadOverLimitLine,
                         static_cast<unsigned long long>(limit));
    std::vector<char>().swap(body);  // nothing of it is kept, not even its memory
    return ERROR_FILE_TOO_LARGE;
  }
  return ERROR_SUCCESS;
}

// One request of a call, from connection to status: the first one, or one
// that follows a redirect.
struct sent_request {
  DWORD error = ERROR_SUCCESS;  // of the step that failed
  internet_handle connection;
  internet_handle handle;
};

sent_request send_request(const wininet_functions& wininet, HWND parent, HINTERNET session,
                          const http_request& request, char* buffer, DWORD& status) {
  sent_request sent;
  const char* scheme = request.secure ? kSecureScheme : kPlainScheme;
  const std::string referrer =
      request.port.empty()
          ? boost::str(boost::format(kReferrer) % scheme % request.host)
          : boost::str(boost::format(kReferrerWithPort) % scheme % request.host % request.port);
  const char* verb = verb_of(request.method);
  const std::string extra_headers = header_block(request);
  // A body ends in its terminator here, which is never sent.
  const DWORD body_length = request.body.empty() ? 0 : static_cast<DWORD>(request.body.size() - 1);

  sent.connection.Reset(wininet.InternetConnectA(session, request.host.c_str(), port_of(request),
                                                 nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!sent.connection.IsValid()) {
    sent.error = ::GetLastError();
    return sent;
  }
  set_timeouts(wininet, sent.connection.Get());

  const DWORD flags = kRequestFlags | (request.secure ? INTERNET_FLAG_SECURE : 0);
  sent.handle.Reset(wininet.HttpOpenRequestA(sent.connection.Get(), verb, request.path.c_str(),
                                             nullptr, referrer.c_str(), nullptr, flags, 0));
  if (!sent.handle.IsValid()) {
    sent.error = ::GetLastError();
    return sent;
  }
  const HINTERNET handle = sent.handle.Get();
  set_timeouts(wininet, handle);

  if (!request.proxy_user.empty()) {
    wininet.InternetSetOptionA(handle, INTERNET_OPTION_PROXY_USERNAME,
                               const_cast<char*>(request.proxy_user.data()),
                               static_cast<DWORD>(request.proxy_user.size()));
    if (!request.proxy_password.empty()) {
      wininet.InternetSetOptionA(handle, INTERNET_OPTION_PROXY_PASSWORD,
                                 const_cast<char*>(request.proxy_password.data()),
                                 static_cast<DWORD>(request.proxy_password.size()));
    }
  }

  if (request.secure) {
    DWORD security = 0;
    DWORD size = sizeof(security);
    wininet.InternetQueryOptionW(handle, INTERNET_OPTION_SECURITY_FLAGS, &security, &size);
    security |= kIgnoredCertificateChecks;
    wininet.InternetSetOptionW(handle, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof(security));
  }

  DWORD last_send_error = ERROR_SUCCESS;
  try {
    for (;;) {
      const BOOL ok = wininet.HttpSendRequestA(
          handle, extra_headers.empty() ? nullptr : extra_headers.c_str(),
          static_cast<DWORD>(extra_headers.size()),
          body_length ? const_cast<char*>(request.body.data()) : nullptr, body_length);
      const DWORD error = ::GetLastError();
      last_send_error = error;
      if (!ok) {
        g_system_log.write_a(my_system_log::level_trace, kSendFailedLine,
                             static_cast<unsigned int>(error));
        sent.error = error;
        return sent;
      }
      // Shows the credentials dialog only when the answer is a challenge.
      if (wininet.InternetErrorDlg(parent, handle, error, kErrorDialogFlags, nullptr) !=
          ERROR_INTERNET_FORCE_RETRY) {
        break;
      }
    }
  } catch (...) {
    sent.error = last_send_error;
    return sent;
  }

  DWORD capacity = kWorkCapacity;
  DWORD index = 0;
  std::memset(buffer, 0, kWorkBufferSize);
  if (wininet.HttpQueryInfoA(handle, HTTP_QUERY_STATUS_CODE, buffer, &capacity, &index)) {
    status = static_cast<DWORD>(std::strtoul(buffer, nullptr, 10));
  }
  return sent;
}

// The Location of a redirect answer; empty for any other answer, or when the
// location is longer than the work buffer.
std::string redirect_location(const wininet_functions& wininet, HINTERNET handle, DWORD status,
                              char* buffer) {
  if (!is_redirect_status(status)) return std::string();
  DWORD capacity = kWorkCapacity;
  DWORD index = 0;
  std::memset(buffer, 0, kWorkBufferSize);
  if (!wininet.HttpQueryInfoA(handle, HTTP_QUERY_LOCATION, buffer, &capacity, &index)) {
    return std::string();
  }
  return text_of(buffer);
}

}  // namespace

DWORD get_data_by_wininet(HWND parent, http_request& request, DWORD& status, std::string& headers,
                          std::vector<char>& body) {
  {
    std::lock_guard<std::mutex> hold(captured().lock);
    captured().user.clear();
    captured().password.clear();
  }
  status = kInitialStatus;
  headers.clear();
  body.clear();
  char buffer[kWorkBufferSize] = {};

  if (request.path.empty()) request.path = kDefaultPath;
  // The body goes out as text whose terminator is never sent.
  if (!request.body.empty() && request.body.back() != '\0') request.body.push_back('\0');
  const std::string proxy = proxy_text(request);

  const wininet_functions* wininet = wininet_library();
  if (!wininet) return ERROR_MOD_NOT_FOUND;

  // Forget the cookies and credentials of earlier requests.
  wininet->InternetSetOptionW(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);

  internet_handle session(wininet->InternetOpenA(
      request.user_agent.c_str(),
      proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
      proxy.empty() ? nullptr : proxy.c_str(), nullptr, 0));
  if (!session.IsValid()) return ::GetLastError();
  set_timeouts(*wininet, session.Get());

  // Each redirect is a request of its own, made like the first, with the
  // proxy credentials that the one before it held.
  http_request current = request;
  for (unsigned redirects = 0;; ++redirects) {
    const sent_request sent = send_request(*wininet, parent, session.Get(), current, buffer, status);
    if (sent.error != ERROR_SUCCESS) return sent.error;

    const std::string location = redirect_location(*wininet, sent.handle.Get(), status, buffer);
    if (location.empty()) {
      const DWORD result = read_response(*wininet, sent.handle.Get(), buffer, request.body_limit, headers, body);
      if (result == ERROR_SUCCESS && status >= 200 && status <= 299) {
        fill_captured(*wininet, sent.handle.Get(), buffer);
      }
      return result;
    }
    if (redirects == kMaxRedirects) {
      g_system_log.write_a(my_system_log::level_trace, kTooManyRedirectsLine, kMaxRedirects,
                           location.c_str());
      return ERROR_HTTP_REDIRECT_FAILED;
    }
    if (!redirect_request(current, status, location)) {
      g_system_log.write_a(my_system_log::level_trace, kBadRedirectLine, location.c_str());
      return ERROR_HTTP_REDIRECT_FAILED;
    }
    std::tie(current.proxy_user, current.proxy_password) =
        proxy_credentials_of(*wininet, sent.handle.Get(), buffer);
  }
}

std::string get_captured_proxy_user() {
  std::lock_guard<std::mutex> hold(captured().lock);
  return captured().user;
}

std::string get_captured_proxy_password() {
  std::lock_guard<std::mutex> hold(captured().lock);
  return captured().password;
}
