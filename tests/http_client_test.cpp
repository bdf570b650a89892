// The HTTP client against the local update server (tools/update_server) over
// loopback: what goes out, what comes back, the proxy's credentials dialog
// and the certificate checks.
#include "support/system_log.h"
#include "tests/support/credentials_dialog.h"
#include "tests/support/system_proxy.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"
#include "support/system_libraries.h"
#include "update/http_client.h"
#include "update/internet_handle.h"
#include "update/redirect.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kProxyUser[] = "velora";
const char kProxyPassword[] = "s3cret";
const char kManifestPath[] = "/launcher/installer6.lt";
const char kManifestBody[] = "manifest body\r\n";

std::wstring server_state() { return path_from_environment("VELORA_UPDATE_SERVER"); }

std::string port_of(const char* listener) {
  const std::string ports = read_file(server_state() + L"\\ports.json");
  std::smatch match;
  if (!std::regex_search(ports, match, std::regex(std::string("\"") + listener + "\": (\\d+)"))) {
    return "";
  }
  return match[1].str();
}

// The record lines of one listener, oldest first.
std::vector<std::string> records(const std::string& listener) {
  std::vector<std::string> lines;
  const std::string text = read_file(server_state() + L"\\record.jsonl");
  size_t start = 0, end;
  while ((end = text.find('\n', start)) != std::string::npos) {
    std::string line = text.substr(start, end - start);
    if (line.find("\"listener\": \"" + listener + "\"") != std::string::npos) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct response {
  DWORD result = 0;
  DWORD status = 0;
  std::string headers;
  std::vector<char> body;
  std::string body_text() const { return std::string(body.begin(), body.end()); }
};

response fetch(http_request& request, HWND parent = nullptr) {
  response r;
  r.result = get_data_by_wininet(parent, request, r.status, r.headers, r.body);
  return r;
}

http_request origin_request(const std::string& path) {
  http_request request;
  request.host = "127.0.0.1";
  request.port = port_of("http");
  request.path = path;
  request.method = "GET";
  return request;
}

// Through the local proxy, with the credentials it wants given up front. The
// server is named "localhost" here: Wine's WinINet keeps one pool of open
// connections per host and port, proxy or not, and would send a proxied
// request down a connection that an earlier direct request left open.
http_request proxied_request(const std::string& path) {
  http_request request = origin_request(path);
  request.host = "localhost";
  request.proxy_host = "127.0.0.1";
  request.proxy_port = port_of("proxy");
  request.proxy_user = kProxyUser;
  request.proxy_password = kProxyPassword;
  return request;
}

class HttpClient : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(port_of("http").empty()) << "the update server is not running";
    ::CreateDirectoryW((server_state() + L"\\root\\launcher").c_str(), nullptr);
    write_file(server_state() + L"\\root\\launcher\\installer6.lt", kManifestBody);
    control("{}");
    write_file(server_state() + L"\\record.jsonl", "");
  }
  void TearDown() override { control("{}"); }

  static void control(const std::string& json) { write_file(server_state() + L"\\control.json", json); }
};

TEST_F(HttpClient, GetSendsTheFixedRequestFields) {
  http_request request = origin_request(std::string(kManifestPath) + "?ed=vlr6");
  request.headers = {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}};
  const response r = fetch(request);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 200u);
  EXPECT_EQ(r.body_text(), kManifestBody);
  EXPECT_TRUE(has(r.headers, "HTTP/1.1 200")) << r.headers;
  EXPECT_EQ(r.headers.substr(r.headers.size() - 4), "\r\n\r\n");

  const auto seen = records("http");
  ASSERT_EQ(seen.size(), 1u);
  const std::string& line = seen[0];
  EXPECT_TRUE(has(line, "\"request_line\": \"GET /launcher/installer6.lt?ed=vlr6 HTTP/1.1\"")) << line;
  EXPECT_TRUE(has(line, "[\"User-Agent\", \"Velora/6.0\"]")) << line;
  EXPECT_TRUE(has(line, "[\"Referer\", \"http://127.0.0.1:" + request.port + "/\"]")) << line;
  const size_t cache_control = line.find("[\"Cache-Control\", \"no-cache\"]");
  const size_t pragma = line.find("[\"Pragma\", \"no-cache\"]", cache_control);
  EXPECT_NE(cache_control, std::string::npos) << line;
  EXPECT_NE(pragma, std::string::npos) << "Pragma after Cache-Control: " << line;
}

TEST_F(HttpClient, VerbRules) {
  const struct {
    const char* method;
    const char* sent;
  } cases[] = {{"get", "GET"}, {"GET", "GET"}, {"post", "POST"}, {"PUT", "POST"}, {"", "POST"}};
  for (const auto& c : cases) {
    write_file(server_state() + L"\\record.jsonl", "");
    http_request request = origin_request(kManifestPath);
    request.method = c.method;
    fetch(request);
    const auto seen = records("http");
    ASSERT_EQ(seen.size(), 1u) << c.method;
    EXPECT_TRUE(has(seen[0], std::string("\"method\": \"") + c.sent + "\"")) << c.method;
  }
}

TEST_F(HttpClient, BodyIsSentWithoutItsTerminator) {
  http_request three = origin_request(kManifestPath);
  three.method = "POST";
  three.body = {'a', 'b', 'c'};
  fetch(three);
  EXPECT_EQ(three.body, (std::vector<char>{'a', 'b', 'c', '\0'}));

  http_request four = origin_request(kManifestPath);
  four.method = "POST";
  four.body = {'x', 'y', 'z', '\0'};
  fetch(four);
  EXPECT_EQ(four.body, (std::vector<char>{'x', 'y', 'z', '\0'}));

  const auto seen = records("http");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(has(seen[0], "\"body_length\": 3")) << seen[0];
  EXPECT_TRUE(has(seen[0], "\"body_base64\": \"YWJj\"")) << seen[0];
  EXPECT_TRUE(has(seen[1], "\"body_base64\": \"eHl6\"")) << seen[1];
}

TEST_F(HttpClient, DefaultPortsAndTheReferrerWithoutAPort) {
  // The proxy records where each request was meant to go; nothing listens on
  // 80 or 443 here, so it answers 502 and the client reads that.
  const struct {
    const char* port;
    bool secure;
    const char* target;
  } cases[] = {
      {"", false, "\"url\": \"http://localhost:80/x\""},
      {"0", false, "\"url\": \"http://localhost:80/x\""},
      {"abc", false, "\"url\": \"http://localhost:80/x\""},
      {"65536", false, "\"url\": \"http://localhost:80/x\""},
      {"", true, "\"url\": \"localhost:443\""},
      {"65536", true, "\"url\": \"localhost:443\""},
  };
  for (const auto& c : cases) {
    write_file(server_state() + L"\\record.jsonl", "");
    http_request request = proxied_request("/x");
    request.port = c.port;
    request.secure = c.secure;
    fetch(request);
    const auto seen = records("proxy");
    ASSERT_FALSE(seen.empty()) << c.port;
    EXPECT_TRUE(has(seen.back(), c.target)) << c.port << ": " << seen.back();
    if (!c.secure) {
      const std::string referrer = std::string("[\"Referer\", \"http://localhost") +
                                   (std::string(c.port).empty() ? "" : std::string(":") + c.port) +
                                   "/\"]";
      EXPECT_TRUE(has(seen.back(), referrer)) << seen.back();
    }
  }
}

TEST_F(HttpClient, NotFoundIsAnAnswerWithItsErrorPage) {
  http_request request = origin_request("/launcher/missing.lt");
  const response r = fetch(request);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 404u);
  EXPECT_FALSE(r.body.empty());
  EXPECT_TRUE(get_captured_proxy_user().empty());
  EXPECT_TRUE(get_captured_proxy_password().empty());
}

TEST_F(HttpClient, UnreachableServerFailsTheSendAndLogsIt) {
  temp_folder log_folder(L"http-log");
  log_switch_files switches(true, true);
  ASSERT_TRUE(g_system_log.init(log_folder.path().c_str()));

  http_request request = origin_request(kManifestPath);
  request.port = closed_port();
  const response r = fetch(request);
  EXPECT_NE(r.result, 0u);
  EXPECT_EQ(r.status, 100u);
  EXPECT_TRUE(r.headers.empty());
  EXPECT_TRUE(r.body.empty());

  const std::string log = read_file(log_folder.path() + L"system.log");
  char expected[64];
  std::snprintf(expected, sizeof(expected), "LogLv:30/30\tLauncher\tHttpSendRequestA Err 0x%lx\r\n", r.result);
  EXPECT_TRUE(has(log, expected)) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

TEST_F(HttpClient, CutOffBodyKeepsWhatArrived) {
  control(R"({"rules": {"/launcher/installer6.lt": {"body": "0123456789abcdef", "cut_after": 10}}})");
  http_request request = origin_request(kManifestPath);
  const response r = fetch(request);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 200u);
  EXPECT_EQ(r.body_text(), "0123456789");
}

TEST_F(HttpClient, HeaderBlockOverTheBufferIsLeftOut) {
  control(R"({"rules": {"/launcher/installer6.lt": {"header_padding": 1200}}})");
  http_request request = origin_request(kManifestPath);
  const response r = fetch(request);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 200u);
  EXPECT_TRUE(r.headers.empty()) << r.headers.size();
  EXPECT_EQ(r.body_text(), kManifestBody);
}

// Wine's WinINet answers the raw header query at every index with the whole
// block (Windows reports the header as not found past index 0), so a loop that
// asks on with a rising index never ends there; the client asks once. This
// shows the difference the client is built around.
TEST_F(HttpClient, RawHeaderBlockIsOneRecord) {
  const wininet_functions* wininet = wininet_library();
  ASSERT_NE(wininet, nullptr);
  internet_handle session(wininet->InternetOpenA("Velora/6.0", INTERNET_OPEN_TYPE_PRECONFIG,
                                                 nullptr, nullptr, 0));
  internet_handle connection(wininet->InternetConnectA(
      session.Get(), "127.0.0.1", static_cast<INTERNET_PORT>(std::stoi(port_of("http"))), nullptr,
      nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  internet_handle request(wininet->HttpOpenRequestA(connection.Get(), "GET", kManifestPath, nullptr,
                                                    nullptr, nullptr,
                                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  ASSERT_TRUE(wininet->HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0));

  char first[1024] = {};
  DWORD size = sizeof(first) - 1;
  DWORD index = 0;
  ASSERT_TRUE(wininet->HttpQueryInfoA(request.Get(), HTTP_QUERY_RAW_HEADERS_CRLF, first, &size, &index));
  char second[1024] = {};
  size = sizeof(second) - 1;
  index = 1;
  const BOOL again =
      wininet->HttpQueryInfoA(request.Get(), HTTP_QUERY_RAW_HEADERS_CRLF, second, &size, &index);
  if (again) {
    EXPECT_STREQ(second, first) << "index 1 gave the whole block again";
  } else {
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
  }

  http_request through_client = origin_request(kManifestPath);
  const response r = fetch(through_client);
  EXPECT_EQ(r.headers.find("HTTP/1.1 200"), 0u) << r.headers;
  EXPECT_EQ(r.headers.find("HTTP/1.1 200", 1), std::string::npos) << "the client keeps the block once";
}

TEST_F(HttpClient, CredentialsGivenUpFrontAreCaptured) {
  http_request request = proxied_request(kManifestPath);
  const response r = fetch(request);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 200u);
  EXPECT_EQ(get_captured_proxy_user(), kProxyUser);
  EXPECT_EQ(get_captured_proxy_password(), kProxyPassword);
}

TEST_F(HttpClient, ProxyChallengeOpensTheCredentialsDialogAndRetries) {
  owner_window owner;
  http_request request = proxied_request(kManifestPath);
  request.proxy_user.clear();
  request.proxy_password.clear();
  auto answered = answer_credentials_dialog(L"velora", L"s3cret", false);
  const response r = fetch(request, owner.get());
  EXPECT_TRUE(answered.get()) << "the credentials dialog appeared";
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 200u);
  EXPECT_EQ(r.body_text(), kManifestBody);
  EXPECT_EQ(get_captured_proxy_user(), kProxyUser);
  EXPECT_EQ(get_captured_proxy_password(), kProxyPassword);

  const auto seen = records("proxy");
  ASSERT_GE(seen.size(), 2u);
  EXPECT_TRUE(has(seen.front(), "\"status\": 407")) << seen.front();
}

TEST_F(HttpClient, CancelledCredentialsDialogLeavesTheChallenge) {
  owner_window owner;
  http_request request = proxied_request(kManifestPath);
  request.proxy_user.clear();
  request.proxy_password.clear();
  auto answered = answer_credentials_dialog(L"", L"", true);
  const response r = fetch(request, owner.get());
  EXPECT_TRUE(answered.get());
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 407u);
  EXPECT_TRUE(get_captured_proxy_user().empty());
}

TEST_F(HttpClient, CapturedCredentialsAreNeverTorn) {
  // Each thread sets its own pair on its requests; whatever either thread
  // reads back must be one whole pair (or nothing), never a mix.
  std::atomic<int> torn{0};
  auto worker = [&torn](const std::string& user, int rounds) {
    for (int i = 0; i < rounds; ++i) {
      http_request request = origin_request(kManifestPath);
      request.proxy_user = user;
      request.proxy_password = user + "-password";
      fetch(request);
      const std::string seen_user = get_captured_proxy_user();
      const std::string seen_password = get_captured_proxy_password();
      const bool whole = (seen_user.empty() && seen_password.empty()) ||
                         seen_password == seen_user + "-password";
      if (!whole) ++torn;
    }
  };
  std::thread a(worker, "alpha", 60);
  std::thread b(worker, "beta", 60);
  a.join();
  b.join();
  EXPECT_EQ(torn.load(), 0);
}

// What WinINet's cache folder holds: its size, and the files whose names
// start with `stem` (WinINet names a cached copy after the URL's file name).
struct cache_contents {
  unsigned long long bytes = 0;
  std::set<std::wstring> copies;
};

void look_into(const std::wstring& folder, const std::wstring& stem, cache_contents& contents) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      look_into(folder + L"\\" + name, stem, contents);
    } else {
      contents.bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
      if (name.compare(0, stem.size(), stem) == 0) contents.copies.insert(folder + L"\\" + name);
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

std::wstring internet_cache_folder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return std::wstring();
  }
  return folder;
}

// An installer-sized download must not leave a second copy in the user's
// WinINet cache.
TEST_F(HttpClient, DownloadLeavesNoCopyInTheCache) {
  constexpr size_t kSize = 100u << 20;
  const std::wstring cache = internet_cache_folder();
  ASSERT_FALSE(cache.empty());
  std::string installer(kSize, '\0');
  for (size_t i = 0; i < kSize; ++i) installer[i] = static_cast<char>((i * 7 + i / 4096) % 251);
  const std::wstring served = server_state() + L"\\root\\download\\nocache_probe.exe";
  ::CreateDirectoryW((server_state() + L"\\root\\download").c_str(), nullptr);
  write_file(served, installer);

  cache_contents before;
  look_into(cache, L"nocache_probe", before);
  http_request request = origin_request("/download/nocache_probe.exe");
  response r = fetch(request);
  cache_contents after;
  look_into(cache, L"nocache_probe", after);
  ::DeleteFileW(served.c_str());

  std::printf("WinINet cache %ls: %llu bytes before, %llu after the download\n", cache.c_str(),
              before.bytes, after.bytes);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 200u);
  EXPECT_TRUE(r.body.size() == installer.size() &&
              std::equal(r.body.begin(), r.body.end(), installer.begin()))
      << r.body.size() << " bytes";
  for (const auto& copy : after.copies) {
    EXPECT_TRUE(before.copies.count(copy)) << "cached copy: " << std::string(copy.begin(), copy.end());
  }
  EXPECT_LT(after.bytes, before.bytes + kSize);
}

// A request run on a thread of its own, waited for only so long: a call that
// never returns is left behind (the process ends it at exit) and the test
// fails instead of hanging.
struct timed_response {
  bool returned = false;
  response r;
  std::chrono::milliseconds took{0};
};

std::future<timed_response> fetch_on_a_thread(http_request request) {
  auto promise = std::make_shared<std::promise<timed_response>>();
  std::future<timed_response> result = promise->get_future();
  std::thread([promise, request]() mutable {
    timed_response t;
    const auto start = std::chrono::steady_clock::now();
    t.r = fetch(request);
    t.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    t.returned = true;
    promise->set_value(t);
  }).detach();
  return result;
}

// A server that accepts and stops answering, before the head or in the middle
// of the body, ends the call at the time-out, not never. The cases run side by
// side, so the whole takes one time-out. The body stalls after two whole
// 1023-byte reads: WinINet fills a read before it returns, so the read that
// the stall cuts short brings nothing.
TEST_F(HttpClient, ServerThatStopsAnsweringEndsAtTheTimeOut) {
  constexpr size_t kBeforeStall = 2 * 1023;
  std::string body;
  for (size_t i = 0; i < 4000; ++i) body += static_cast<char>('a' + i % 26);
  control(R"({"rules": {"/download/silent.exe": {"silent": true},
                        "/download/stalled.exe": {"body": ")" + body + R"(", "stall_after": )" +
          std::to_string(kBeforeStall) + "}}}");
  const struct {
    const char* path;
    bool sent;  // the head arrived: the send succeeds and the read ends early
  } cases[] = {{"/download/silent.exe", false}, {"/download/stalled.exe", true}};
  std::vector<std::future<timed_response>> running;
  for (const auto& c : cases) running.push_back(fetch_on_a_thread(origin_request(c.path)));

  const auto limit = std::chrono::milliseconds(kHttpTimeoutMs);
  const auto margin = std::chrono::seconds(15);
  const auto deadline = std::chrono::steady_clock::now() + limit + margin;
  for (size_t i = 0; i < running.size(); ++i) {
    const auto& c = cases[i];
    ASSERT_EQ(running[i].wait_until(deadline), std::future_status::ready)
        << c.path << ": no return within " << (limit + margin).count() << " ms";
    const timed_response t = running[i].get();
    std::printf("%s: result %lu, status %lu, %u body bytes after %lld ms\n", c.path, t.r.result,
                t.r.status, static_cast<unsigned>(t.r.body.size()),
                static_cast<long long>(t.took.count()));
    EXPECT_GE(t.took, limit - std::chrono::seconds(1)) << c.path;
    if (c.sent) {
      EXPECT_EQ(t.r.result, 0u) << c.path;
      EXPECT_EQ(t.r.status, 200u) << c.path;
      EXPECT_EQ(t.r.body_text(), body.substr(0, kBeforeStall)) << c.path;
    } else {
      EXPECT_NE(t.r.result, 0u) << c.path;
      EXPECT_EQ(t.r.status, 100u) << c.path;
      EXPECT_TRUE(t.r.body.empty()) << c.path;
    }
  }
}

// ----- the body limit ------------------------------------------------------------

// A body over the request's limit fails the call with ERROR_FILE_TOO_LARGE and
// leaves no body, however the server frames it: a length announced over the
// limit is refused before any read, and a body without a length, with a
// length that lies or in chunks is read no further than one byte past the
// limit. The servers that go silent behind the limit show that the read
// stopped there: a client that read on would wait for the 30 s time-out. A
// body of the limit exactly is taken whole, and the client never holds more
// memory for it than the limit.
TEST_F(HttpClient, BodyLimit) {
  constexpr size_t kLimit = 64 * 1024;
  constexpr size_t kPast = kLimit + 2000;
  const std::string limit = std::to_string(kLimit);
  // A body of `size` bytes, framed as `framing` says.
  const auto body = [](size_t size, const std::string& framing) {
    return R"({"body": "velora", "repeat_to": )" + std::to_string(size) + framing + "}";
  };
  const std::string stall_past = R"(, "stall_after": )" + std::to_string(kPast);
  // A body that lies short: WinINet ends it at the announced length or reads
  // on, as the bytes happen to arrive. Either way nothing past the limit is
  // ever taken: the announced bytes alone, or nothing.
  constexpr size_t kAnnouncedOnly = 1000;
  constexpr size_t kRefusedOrAnnounced = static_cast<size_t>(-1);
  const struct {
    const char* what;
    std::string rule;
    size_t taken;  // the body's size when taken; 0: refused
  } cases[] = {
      {"announced over the limit", body(kLimit + 1, R"(, "stall_after": 0)"), 0},
      {"no length, over the limit", body(kPast, R"(, "content_length": "omit")" + stall_past), 0},
      {"announced short, over the limit", body(4 * kLimit, R"(, "content_length": 1000)"),
       kRefusedOrAnnounced},
      {"chunked, over the limit", body(kPast, R"(, "chunked": 4096)" + stall_past), 0},
      {"announced, at the limit", body(kLimit, ""), kLimit},
      {"no length, at the limit", body(kLimit, R"(, "content_length": "omit")"), kLimit},
      {"chunked, at the limit", body(kLimit, R"(, "chunked": 1000)"), kLimit},
  };
  std::string rules;
  for (size_t i = 0; i < std::size(cases); ++i) {
    rules += std::string(rules.empty() ? "" : ", ") + "\"/download/limit" + std::to_string(i) + ".exe\": " +
             cases[i].rule;
  }
  control("{\"rules\": {" + rules + "}}");
  temp_folder log_folder(L"http-log");
  log_switch_files switches(true, true);
  ASSERT_TRUE(g_system_log.init(log_folder.path().c_str()));

  std::vector<std::future<timed_response>> running;
  for (size_t i = 0; i < std::size(cases); ++i) {
    http_request request = origin_request("/download/limit" + std::to_string(i) + ".exe");
    request.body_limit = kLimit;
    running.push_back(fetch_on_a_thread(request));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  size_t refused = 0;
  for (size_t i = 0; i < running.size(); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.what);
    ASSERT_EQ(running[i].wait_until(deadline), std::future_status::ready) << "the read went on past the limit";
    const timed_response t = running[i].get();
    EXPECT_EQ(t.r.status, 200u);
    EXPECT_LT(t.took, std::chrono::seconds(10));
    if (c.taken == kRefusedOrAnnounced && t.r.result == 0) {
      EXPECT_LE(t.r.body.size(), kAnnouncedOnly);
    } else if (c.taken == 0 || c.taken == kRefusedOrAnnounced) {
      ++refused;
      EXPECT_EQ(t.r.result, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
      EXPECT_TRUE(t.r.body.empty());
      EXPECT_EQ(t.r.body.capacity(), 0u) << "no memory is kept for a refused body";
    } else {
      EXPECT_EQ(t.r.result, 0u);
      EXPECT_EQ(t.r.body.size(), c.taken);
      EXPECT_LE(t.r.body.capacity(), kLimit);
    }
  }
  // One line for each refused body, at the level of a step's result.
  const std::string log = read_file(log_folder.path() + L"system.log");
  const auto count = [&log](const std::string& part) {
    size_t found = 0;
    for (size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1)) ++found;
    return found;
  };
  EXPECT_EQ(count("response body over the limit"), refused) << log;
  EXPECT_EQ(count("\tLogLv:30/10\tLauncher\tresponse body over the limit of " + limit + " bytes: "), refused)
      << log;
}

// Without a limit of the caller's, a request takes an installer's at most: a
// length announced past it is refused before anything is read or held.
TEST_F(HttpClient, DefaultLimitIsTheInstallers) {
  EXPECT_EQ(http_request().body_limit, kInstallerSizeLimit);
  EXPECT_EQ(kInstallerSizeLimit, size_t{256} << 20);
  control(R"({"rules": {"/download/huge.exe": {"body": "small", "content_length": )" +
          std::to_string(static_cast<unsigned long long>(kInstallerSizeLimit) + 1) + R"(, "stall_after": 0}}})");
  auto running = fetch_on_a_thread(origin_request("/download/huge.exe"));
  ASSERT_EQ(running.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  const timed_response t = running.get();
  EXPECT_EQ(t.r.result, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
  EXPECT_TRUE(t.r.body.empty());
  EXPECT_EQ(t.r.body.capacity(), 0u);
}

TEST_F(HttpClient, CertificateChecks) {
  const struct {
    const char* listener;
    bool accepted;
  } cases[] = {{"https_untrusted", true}, {"https_wrong_host", true}, {"https_expired", false}};
  for (const auto& c : cases) {
    http_request request = origin_request(kManifestPath);
    request.secure = true;
    request.port = port_of(c.listener);
    const response r = fetch(request);
    if (c.accepted) {
      EXPECT_EQ(r.result, 0u) << c.listener;
      EXPECT_EQ(r.status, 200u) << c.listener;
      EXPECT_EQ(r.body_text(), kManifestBody) << c.listener;
    } else {
      EXPECT_EQ(r.result, static_cast<DWORD>(ERROR_INTERNET_SEC_CERT_DATE_INVALID)) << c.listener;
      EXPECT_EQ(r.status, 100u);
    }
  }
}

// ----- redirects ---------------------------------------------------------------

const char kLoopPath[] = "/launcher/installer6.lt";
const char kChainPath[] = "/download/chain.exe";
const char kChainBody[] = "the end of the chain";

// Every request of a redirected fetch goes out as the first did, and a loop or
// an overlong chain ends after kMaxRedirects redirects, in moments, as a
// failed request with its log line.
TEST_F(HttpClient, RedirectsAreFollowedUpToTheLimit) {
  ::CreateDirectoryW((server_state() + L"\\root\\download").c_str(), nullptr);
  write_file(server_state() + L"\\root\\download\\chain.exe", kChainBody);
  const struct {
    const char* what;
    std::string rule;
    const char* path;
    bool followed;  // ends in the served file
    size_t requests;
  } cases[] = {
      {"a loop to itself", R"({"redirect": "/launcher/installer6.lt"})", kLoopPath, false,
       kMaxRedirects + 1},
      {"a chain at the limit", R"({"redirect_chain": )" + std::to_string(kMaxRedirects) + "}",
       kChainPath, true, kMaxRedirects + 1},
      {"a chain one longer", R"({"redirect_chain": )" + std::to_string(kMaxRedirects + 1) + "}",
       kChainPath, false, kMaxRedirects + 1},
      {"a 307 chain", R"({"redirect_chain": 2, "status": 307})", kChainPath, true, 3},
      {"an absolute Location", R"({"redirect": "http://127.0.0.1:)" + port_of("http") +
                                   R"(/download/chain.exe"})",
       kLoopPath, true, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    control(std::string(R"({"rules": {")") + c.path + "\": " + c.rule + "}}");
    write_file(server_state() + L"\\record.jsonl", "");
    temp_folder log_folder(L"http-log");
    log_switch_files switches(true, true);
    ASSERT_TRUE(g_system_log.init(log_folder.path().c_str()));

    http_request request = origin_request(std::string(c.path) + "?ed=vlr6");
    request.headers = {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}};
    auto running = fetch_on_a_thread(request);
    ASSERT_EQ(running.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "the redirects did not end";
    const timed_response t = running.get();

    const auto seen = records("http");
    EXPECT_EQ(seen.size(), c.requests);
    for (const std::string& line : seen) {
      EXPECT_TRUE(has(line, "\"method\": \"GET\"")) << line;
      EXPECT_TRUE(has(line, "[\"User-Agent\", \"Velora/6.0\"]")) << line;
      EXPECT_TRUE(has(line, "[\"Cache-Control\", \"no-cache\"], [\"Pragma\", \"no-cache\"]")) << line;
    }
    const std::string log = read_file(log_folder.path() + L"system.log");
    if (c.followed) {
      EXPECT_EQ(t.r.result, 0u);
      EXPECT_EQ(t.r.status, 200u);
      EXPECT_EQ(t.r.body_text(), kChainBody);
      EXPECT_EQ(log, "");
    } else {
      EXPECT_EQ(t.r.result, static_cast<DWORD>(ERROR_HTTP_REDIRECT_FAILED));
      EXPECT_NE(t.r.status, 200u);
      EXPECT_TRUE(t.r.body.empty());
      EXPECT_TRUE(has(log, "LogLv:30/30\tLauncher\tRedirected more than " +
                               std::to_string(kMaxRedirects) + " times, last to "))
          << log;
    }
  }
}

// Through a proxy that challenges every request (WinINet answers each
// challenge with the credentials the request holds): the ones given up front
// go with each redirected request too, with no dialog, and are captured at
// the end.
TEST_F(HttpClient, RedirectedRequestsCarryTheProxyCredentials) {
  control(R"({"rules": {"/launcher/installer6.lt": {"redirect_chain": 3}}})");
  http_request request = proxied_request(kManifestPath);
  const response r = fetch(request);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.status, 200u);
  EXPECT_EQ(r.body_text(), kManifestBody);
  EXPECT_EQ(get_captured_proxy_user(), kProxyUser);
  EXPECT_EQ(get_captured_proxy_password(), kProxyPassword);
  const auto relayed = records("proxy");
  EXPECT_EQ(std::count_if(relayed.begin(), relayed.end(),
                          [](const std::string& line) { return has(line, "\"forwarded_to\""); }),
            4);
  EXPECT_EQ(records("http").size(), 4u);
}

// A 303 turns a POST into a GET without its body; a 307 sends both again.
TEST_F(HttpClient, RedirectKeepsOrDropsTheMethodAsItsStatusSays) {
  const struct {
    int status;
    const char* method;
    bool body;
  } cases[] = {{303, "GET", false}, {307, "POST", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    control(R"({"rules": {"/launcher/installer6.lt": {"redirect_chain": 1, "status": )" +
            std::to_string(c.status) + "}}}");
    write_file(server_state() + L"\\record.jsonl", "");
    http_request request = origin_request(kManifestPath);
    request.method = "POST";
    request.body = {'a', 'b', 'c'};
    const response r = fetch(request);
    EXPECT_EQ(r.status, 200u);
    const auto seen = records("http");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(has(seen[1], std::string("\"method\": \"") + c.method + "\"")) << seen[1];
    EXPECT_EQ(has(seen[1], "\"body_base64\": \"YWJj\""), c.body) << seen[1];
  }
}

// Where a Location leads from http://update.example:8080/launcher/installer6.lt?ed=1.
TEST(RedirectTarget, LocationsResolveAgainstTheCurrentRequest) {
  const struct {
    const char* location;
    bool ok;
    bool secure;
    const char* host;
    const char* port;
    const char* path;
  } cases[] = {
      {"/download/Setup64.exe?Sig=AbC", true, false, "update.example", "8080",
       "/download/Setup64.exe?Sig=AbC"},
      {"setup64.exe", true, false, "update.example", "8080", "/launcher/setup64.exe"},
      {"?ed=2", true, false, "update.example", "8080", "/launcher/installer6.lt?ed=2"},
      {"  /x#fragment ", true, false, "update.example", "8080", "/x"},
      {"https://Mirror.example/a/B.exe", true, true, "Mirror.example", "", "/a/B.exe"},
      {"HTTP://u:p@mirror.example:81", true, false, "mirror.example", "81", "/"},
      {"http://mirror.example?x=1", true, false, "mirror.example", "", "/?x=1"},
      {"//cdn.example/f", true, false, "cdn.example", "", "/f"},
      {"http://[::1]:8081/f", true, false, "[::1]", "8081", "/f"},
      {"ftp://mirror.example/f", false, false, "", "", ""},
      {"javascript:alert(1)", false, false, "", "", ""},
      {"http:///f", false, false, "", "", ""},
      {"", false, false, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.location);
    http_request request;
    request.host = "update.example";
    request.port = "8080";
    request.path = "/launcher/installer6.lt?ed=1";
    request.method = "GET";
    const http_request before = request;
    ASSERT_EQ(redirect_request(request, 302, c.location), c.ok);
    if (!c.ok) {
      EXPECT_EQ(request.path, before.path);
      EXPECT_EQ(request.host, before.host);
      continue;
    }
    EXPECT_EQ(request.secure, c.secure);
    EXPECT_EQ(request.host, c.host);
    EXPECT_EQ(request.port, c.port);
    EXPECT_EQ(request.path, c.path);
  }
  EXPECT_TRUE(is_redirect_status(308));
  EXPECT_FALSE(is_redirect_status(304));
  EXPECT_FALSE(is_redirect_status(300));
}

}  // namespace
