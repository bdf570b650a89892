// The manifest request against the local update server, at the address the
// downloader is given: what goes out,
// and that any answer but a usable 200 leaves no manifest values behind.
#include "support/system_log.h"
#include "tests/support/local_update_server.h"
#include "tests/support/test_files.h"
#include "update/http_client.h"
#include "update/installer_downloader.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <string>

namespace server = local_update_server;

namespace {

const char kManifestPath[] = "/launcher/installer6.lt";
const char kManifestTarget[] = "/launcher/installer6.lt?scode=r7qd";
const char kManifest[] =
    "velora launcher manifest 6\r\n"
    "64bit 6.0.1.2 0123456789abcdef0123456789abcdef http://127.0.0.1/download/setup64.exe\r\n"
    "32bit 6.0.1.2 fedcba9876543210fedcba9876543210 http://127.0.0.1/download/setup32.exe\r\n"
    "both manual 00112233445566778899aabbccddeeff http://127.0.0.1/download/vl6manual.pdf\r\n";

bool on_64bit_windows() {
  const char* windows = std::getenv("VELORA_EXPECT_WINDOWS");
  return !windows || std::string(windows) != "win32";
}

// Values a failed request must clear.
void fill_with_stale_values(CInstallerDownloader& downloader) {
  downloader.new_major_released = true;
  downloader.new_major_version = L"7.0.0.0";
  downloader.new_major_url = L"stale";
  downloader.latest_md5 = L"stale";
  downloader.latest_url = L"stale";
  downloader.latest_manual_md5 = L"stale";
  downloader.latest_manual_url = L"stale";
  downloader.proxy_user = "kept-user";
  downloader.proxy_password = "kept-password";
}

class ManifestRequest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(server::port("http").empty()) << "the update server is not running";
    server::set_rules("{}");
    server::publish(kManifestPath, kManifest);
    server::clear_record();
  }
  void TearDown() override { server::set_rules("{}"); }
};

TEST_F(ManifestRequest, AsksTheFixedTargetWithTheNoCacheHeaders) {
  CInstallerDownloader downloader{std::wstring()};
  ASSERT_TRUE(downloader.DownloadLtFile(nullptr, server::address()));
  if (on_64bit_windows()) {
    EXPECT_EQ(downloader.GetLatestMd5(), L"0123456789abcdef0123456789abcdef");
    EXPECT_EQ(downloader.GetLatestUrl(), L"http://127.0.0.1/download/setup64.exe");
  } else {
    EXPECT_EQ(downloader.GetLatestMd5(), L"fedcba9876543210fedcba9876543210");
    EXPECT_EQ(downloader.GetLatestUrl(), L"http://127.0.0.1/download/setup32.exe");
  }
  EXPECT_EQ(downloader.GetLatestManualMd5(), L"00112233445566778899aabbccddeeff");
  EXPECT_FALSE(downloader.new_major_released);

  const auto seen = server::requests("http");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_EQ(seen[0].target, kManifestTarget);
  EXPECT_EQ(seen[0].header("User-Agent"), "Velora/6.0");
  EXPECT_EQ(seen[0].header("Cache-Control"), "no-cache");
  EXPECT_EQ(seen[0].header("Pragma"), "no-cache");
  EXPECT_GE(seen[0].header_position("Cache-Control"), 0);
  EXPECT_GT(seen[0].header_position("Pragma"), seen[0].header_position("Cache-Control"))
      << "Pragma follows Cache-Control";
}

// Each answer but a usable 200 gives false and clears what an earlier
// manifest left; the remembered proxy credentials stay. The result line is
// logged for each.
TEST_F(ManifestRequest, AnythingButAUsable200LeavesNoValues) {
  const struct {
    const char* name;
    const char* rule;
    int status;
  } cases[] = {
      {"not found", R"({"status": 404})", 404},
      {"server error", R"({"status": 500})", 500},
      {"partial content", R"({"status": 206, "partial": 200})", 206},
      {"not modified", R"({"status": 304})", 304},
      {"empty body", R"({"empty_body": true})", 200},
      {"header only", R"({"body": "velora launcher manifest 6\r\n"})", 200},
      {"manual only", R"({"body": "h\r\nboth manual 00112233445566778899aabbccddeeff x\r\n"})", 200},
  };
  temp_folder log_folder(L"manifest-log");
  log_switch_files switches(true, false);
  ASSERT_TRUE(g_system_log.init(log_folder.path().c_str()));

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server::set_rules(std::string(R"({"rules": {")") + kManifestPath + "\": " + c.rule + "}}");
    server::clear_record();
    CInstallerDownloader downloader{std::wstring()};
    fill_with_stale_values(downloader);
    EXPECT_FALSE(downloader.DownloadLtFile(nullptr, server::address()));

    EXPECT_FALSE(downloader.new_major_released);
    EXPECT_EQ(downloader.GetNewMajorVersion(), L"");
    EXPECT_EQ(downloader.GetNewMajorUrl(), L"");
    EXPECT_EQ(downloader.GetLatestMd5(), L"");
    EXPECT_EQ(downloader.GetLatestUrl(), L"");
    if (std::string(c.name) == "manual only") {
      // Read, though the manifest is not usable: the workflows look only after true.
      EXPECT_EQ(downloader.GetLatestManualMd5(), L"00112233445566778899aabbccddeeff");
      EXPECT_EQ(downloader.GetLatestManualUrl(), L"x");
    } else {
      EXPECT_EQ(downloader.GetLatestManualMd5(), L"");
      EXPECT_EQ(downloader.GetLatestManualUrl(), L"");
    }
    if (c.status != 200) {
      EXPECT_EQ(downloader.proxy_user, "kept-user");
      EXPECT_EQ(downloader.proxy_password, "kept-password");
    }

    const auto seen = server::requests("http");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].status, c.status) << "the server answered as the rule says";
    const std::string log = read_file(log_folder.path() + L"system.log");
    EXPECT_NE(log.find("\tget_data_by_wininet ret 0 res " + std::to_string(c.status) + ".\r\n"),
              std::string::npos)
        << log;
  }
}

// A manifest is taken up to kManifestSizeLimit bytes, however it is framed;
// one byte more is a failed request, logged with its result, and no value of
// it is kept. The manifest is padded with empty lines, which read as nothing.
TEST_F(ManifestRequest, AnswerOverTheManifestLimitIsAFailedRequest) {
  const struct {
    const char* name;
    size_t size;
    const char* rule;  // how the server frames it
    bool taken;
  } cases[] = {
      {"at the limit", kManifestSizeLimit, "{}", true},
      {"at the limit, in chunks", kManifestSizeLimit, R"({"chunked": 4096})", true},
      {"one byte over", kManifestSizeLimit + 1, "{}", false},
      {"one byte over, no length", kManifestSizeLimit + 1, R"({"content_length": "omit"})", false},
      {"one byte over, in chunks", kManifestSizeLimit + 1, R"({"chunked": 4096})", false},
  };
  temp_folder log_folder(L"manifest-log");
  log_switch_files switches(true, false);
  ASSERT_TRUE(g_system_log.init(log_folder.path().c_str()));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string manifest = kManifest;
    manifest.resize(c.size, '\n');
    server::publish(kManifestPath, manifest);
    server::set_rules(std::string(R"({"rules": {")") + kManifestPath + "\": " + c.rule + "}}");
    write_file(log_folder.path() + L"system.log", "");

    CInstallerDownloader downloader{std::wstring()};
    fill_with_stale_values(downloader);
    EXPECT_EQ(downloader.DownloadLtFile(nullptr, server::address()), c.taken);
    EXPECT_EQ(downloader.GetLatestManualMd5(), c.taken ? L"00112233445566778899aabbccddeeff" : L"");
    EXPECT_EQ(downloader.GetLatestUrl().empty(), !c.taken);
    const std::string log = read_file(log_folder.path() + L"system.log");
    const std::string result = c.taken ? "0" : std::to_string(ERROR_FILE_TOO_LARGE);
    EXPECT_NE(log.find("\tget_data_by_wininet ret " + result + " res 200.\r\n"), std::string::npos) << log;
  }
}

// A manifest address that redirects to itself ends as a failed request after
// the client's limit, with the result line that says why, and no values.
TEST_F(ManifestRequest, RedirectLoopEndsAsAFailedRequest) {
  temp_folder log_folder(L"manifest-log");
  log_switch_files switches(true, false);
  ASSERT_TRUE(g_system_log.init(log_folder.path().c_str()));
  server::set_rules(std::string(R"({"rules": {")") + kManifestPath + R"(": {"redirect": ")" +
                    kManifestPath + R"("}}})");

  CInstallerDownloader downloader{std::wstring()};
  fill_with_stale_values(downloader);
  EXPECT_FALSE(downloader.DownloadLtFile(nullptr, server::address()));
  EXPECT_EQ(downloader.GetLatestMd5(), L"");
  EXPECT_EQ(downloader.GetLatestUrl(), L"");
  EXPECT_EQ(server::requests("http").size(), kMaxRedirects + 1);
  const std::string log = read_file(log_folder.path() + L"system.log");
  EXPECT_NE(log.find("\tget_data_by_wininet ret " + std::to_string(ERROR_HTTP_REDIRECT_FAILED) +
                     " res 302.\r\n"),
            std::string::npos)
      << log;
}

}  // namespace
