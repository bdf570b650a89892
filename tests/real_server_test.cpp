// The HTTP client against real servers (tools/real_servers) over loopback:
// a file from nginx, fetched directly and through squid, which asks for
// basic credentials, given up front or typed into WinINet's dialog.
#include "tests/support/credentials_dialog.h"
#include "tests/support/test_files.h"
#include "update/http_client.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

namespace {

const char kServedPath[] = "/download/real_probe.exe";

std::wstring servers_state() { return path_from_environment("VELORA_REAL_SERVERS"); }

// One field of servers.json, as text (numbers unquoted, strings without quotes).
std::string field_of(const char* name) {
  const std::string state = read_file(servers_state() + L"\\servers.json");
  std::smatch match;
  if (!std::regex_search(state, match,
                         std::regex(std::string("\"") + name + "\": \"?([^\",}]*)\"?"))) {
    return "";
  }
  return match[1].str();
}

std::wstring widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A little over a mebibyte in a pattern that repeats neither at 1023 nor at
// 4096 bytes, so a lost, doubled or shifted read shows.
std::string probe_bytes() {
  std::string bytes(1048576 + 777, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 13 + i / 1000) % 253);
  return bytes;
}

struct response {
  DWORD result = 0;
  DWORD status = 0;
  std::string headers;
  std::vector<char> body;
};

response fetch(http_request& request, HWND parent = nullptr) {
  response r;
  r.result = get_data_by_wininet(parent, request, r.status, r.headers, r.body);
  return r;
}

// nginx, asked directly by address.
http_request direct_request() {
  http_request request;
  request.host = "127.0.0.1";
  request.port = field_of("nginx");
  request.path = kServedPath;
  request.method = "GET";
  return request;
}

// nginx through squid. The origin is named "localhost" here: Wine's WinINet
// keeps one pool of open connections per host and port, proxy or not, and
// would send a proxied request down the direct connection to nginx.
http_request proxied_request() {
  http_request request = direct_request();
  request.host = "localhost";
  request.proxy_host = "127.0.0.1";
  request.proxy_port = field_of("squid");
  return request;
}

class RealServers : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ::CreateDirectoryW((servers_state() + L"\\root\\download").c_str(), nullptr);
    write_file(servers_state() + L"\\root\\download\\real_probe.exe", probe_bytes());
  }

  void SetUp() override {
    ASSERT_FALSE(field_of("squid").empty()) << "the real servers are not running";
  }

  static void expect_the_file(const response& r) {
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.status, 200u);
    const std::string expected = probe_bytes();
    EXPECT_TRUE(r.body.size() == expected.size() &&
                std::equal(r.body.begin(), r.body.end(), expected.begin()))
        << r.body.size() << " bytes, " << expected.size() << " expected";
  }
};

TEST_F(RealServers, NginxServesTheFileDirectly) {
  http_request request = direct_request();
  const response r = fetch(request);
  expect_the_file(r);
  EXPECT_TRUE(has(r.headers, "Server: nginx")) << r.headers;
  EXPECT_FALSE(has(r.headers, "Via:")) << r.headers;
  EXPECT_TRUE(get_captured_proxy_user().empty());
}

TEST_F(RealServers, SquidTakesCredentialsGivenUpFront) {
  http_request request = proxied_request();
  request.proxy_user = field_of("proxy_user");
  request.proxy_password = field_of("proxy_password");
  const response r = fetch(request);
  expect_the_file(r);
  EXPECT_TRUE(has(r.headers, "squid")) << "relayed by squid: " << r.headers;
  EXPECT_EQ(get_captured_proxy_user(), field_of("proxy_user"));
  EXPECT_EQ(get_captured_proxy_password(), field_of("proxy_password"));
}

TEST_F(RealServers, SquidChallengeIsAnsweredInTheCredentialsDialog) {
  owner_window owner;
  http_request request = proxied_request();
  auto answered = answer_credentials_dialog(widened(field_of("proxy_user")),
                                            widened(field_of("proxy_password")), false);
  const response r = fetch(request, owner.get());
  EXPECT_TRUE(answered.get()) << "the credentials dialog appeared";
  expect_the_file(r);
  EXPECT_TRUE(has(r.headers, "squid")) << "relayed by squid: " << r.headers;
  EXPECT_EQ(get_captured_proxy_user(), field_of("proxy_user"));
  EXPECT_EQ(get_captured_proxy_password(), field_of("proxy_password"));
}

}  // namespace
