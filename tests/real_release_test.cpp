// A release laid out by vl6publish and served by real servers: nginx serves
// the tree as it was written, squid stands between as a proxy that asks for
// basic credentials. The launcher's update client and `vl6publish verify`
// take the release through both, with the credentials typed once per run
// into WinINet's dialog, and the log never keeps what was typed.
#include "support/system_log.h"
#include "support/windows_facts.h"
#include "tests/support/credentials_dialog.h"
#include "tests/support/system_proxy.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"
#include "update/installer_downloader.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

namespace {

std::wstring servers_state() { return path_from_environment("VELORA_REAL_SERVERS"); }

std::string field_of(const char* name) {
  const std::string state = read_file(servers_state() + L"\\servers.json");
  std::smatch match;
  if (!std::regex_search(state, match, std::regex(std::string("\"") + name + "\": \"?([^\",}]*)\"?"))) {
    return "";
  }
  return match[1].str();
}

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class RealRelease : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ASSERT_FALSE(field_of("nginx").empty()) << "the real servers are not running";
    // Named "localhost": Wine's WinINet pools connections per host and port,
    // proxy or not, and the manifest below is fetched from 127.0.0.1 directly.
    base_url_ = "http://localhost:" + field_of("nginx");
    // The stand-in installers as the vendor signed them at build time: the
    // release tool publishes, and verify passes, only installers the launcher
    // would start. They are signed anew at each build, so what an earlier
    // build published under this version goes first.
    const std::wstring inputs = folder_->path();
    const std::wstring standins = path_from_environment("VELORA_BUILD_DIR") + L"\\tools\\setup_standin\\";
    ASSERT_TRUE(copy_file(standins + L"setup64.exe", inputs + L"setup64.exe"));
    ASSERT_TRUE(copy_file(standins + L"setup32.exe", inputs + L"setup32.exe"));
    write_file(inputs + L"vl6manual.pdf", "%PDF-1.4\n% Velora manual 6.0.2.1\n");
    remove_tree(servers_state() + L"\\root\\download\\6.0.2.1");
    const int code = vl6publish(L"publish --out \"" + servers_state() + L"\\root\" --version 6.0.2.1 --base-url " +
                                wide(base_url_) + L" --setup64 \"" + inputs + L"setup64.exe\" --setup32 \"" +
                                inputs + L"setup32.exe\" --manual \"" + inputs + L"vl6manual.pdf\"");
    ASSERT_EQ(code, 0);
  }

  static int vl6publish(const std::wstring& arguments, DWORD* process_id = nullptr,
                        const std::wstring& answer_user = L"", const std::wstring& answer_password = L"") {
    test_process process(path_from_environment("VELORA_VL6PUBLISH"), arguments);
    std::future<bool> answered;
    if (!answer_user.empty()) answered = answer_credentials_dialog(answer_user, answer_password, false, process.id());
    DWORD code = 99;
    EXPECT_TRUE(process.wait(120000, &code));
    if (answered.valid()) {
      EXPECT_TRUE(answered.get()) << "no credentials dialog";
    }
    if (process_id) *process_id = process.id();
    return static_cast<int>(code);
  }

  static inline temp_folder* folder_ = new temp_folder(L"real_release");
  static inline std::string base_url_;
};

// The downloader asks nginx for the manifest, as the launcher asks its update
// server, then fetches and verifies the installer through squid (the system
// proxy), with the credentials typed once into the dialog. At log level 30
// nothing typed reaches the log.
TEST_F(RealRelease, DownloaderTakesTheReleaseThroughTheProxyAndTheLogKeepsNoCredentials) {
  const std::wstring log = launcher_directory() + L"system.log";
  ::DeleteFileW(log.c_str());
  {
    log_switch_files switches(true, true);
    ASSERT_TRUE(g_system_log.init(launcher_directory().c_str()));
  }

  CInstallerDownloader downloader{std::wstring()};
  ASSERT_TRUE(downloader.DownloadLtFile(nullptr, L"http://127.0.0.1:" + wide(field_of("nginx"))));
  EXPECT_EQ(downloader.GetLatestUrl(), wide(base_url_) + (Is64BitOS() ? L"/download/6.0.2.1/setup64.exe"
                                                                        : L"/download/6.0.2.1/setup32.exe"));

  const std::string user = field_of("proxy_user");
  const std::string password = field_of("proxy_password");
  const std::wstring destination = folder_->path() + L"cache\\vlr6setup\\" + (Is64BitOS() ? L"setup64.exe" : L"setup32.exe");
  {
    system_proxy proxy("127.0.0.1:" + field_of("squid"));
    ASSERT_TRUE(proxy.set());
    owner_window owner;
    auto answered = answer_credentials_dialog(wide(user), wide(password), false);
    EXPECT_TRUE(downloader.DownloadFile(owner.get(), downloader.GetLatestUrl(), destination, downloader.GetLatestMd5()));
    EXPECT_TRUE(answered.get()) << "the proxy's credentials dialog did not show";
    EXPECT_EQ(downloader.proxy_user, user);
    // The manual next, through the same proxy: the credentials go up front.
    auto second = answer_credentials_dialog(L"", L"", true);
    EXPECT_TRUE(downloader.DownloadFile(owner.get(), downloader.GetLatestManualUrl(),
                                        folder_->path() + L"manual\\vl6manual.pdf", downloader.GetLatestManualMd5()));
    EXPECT_FALSE(second.get()) << "the credentials were asked for twice in one run";
  }
  g_system_log.init(launcher_directory().c_str());  // off again

  const std::string text = read_file(log);
  EXPECT_NE(text.find("get_data_by_wininet DownloadFile"), std::string::npos) << "level 30 was on";
  EXPECT_EQ(text.find(user), std::string::npos) << text;
  EXPECT_EQ(text.find(password), std::string::npos) << text;
  ::DeleteFileW(log.c_str());
}

// The publisher's smoke test against the same release, directly and through
// squid; a file changed on the server after publishing is found.
TEST_F(RealRelease, VerifyFindsTheReleaseWholeAndAChangedFile) {
  const std::wstring url = L"http://127.0.0.1:" + wide(field_of("nginx"));
  EXPECT_EQ(vl6publish(L"verify " + url), 0);
  EXPECT_EQ(vl6publish(L"verify " + url + L" --proxy 127.0.0.1:" + wide(field_of("squid")), nullptr,
                       wide(field_of("proxy_user")), wide(field_of("proxy_password"))),
            0);

  const std::wstring manual = servers_state() + L"\\root\\download\\6.0.2.1\\vl6manual.pdf";
  const std::string original = read_file(manual);
  write_file(manual, original + "changed after publishing");
  EXPECT_EQ(vl6publish(L"verify " + url), 1);
  write_file(manual, original);
}

}  // namespace
