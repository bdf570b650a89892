// A release laid out by vl6publish and served as it is by the local update
// server is what the launcher's own downloader takes: the manifest from the
// server's address, then the installer for this Windows and the manual,
// each verified against the manifest's MD5 text, the installer also against
// the build's publisher, as the launcher downloads them. A manifest the tool
// signed is taken by the launcher's own check of a signed manifest.
#include "support/publisher_roots.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"
#include "update/installer_downloader.h"
#include "update/manifest_signing.h"
#include "velora_endpoints.h"
#include "velora_version.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <ostream>
#include <regex>
#include <string>

namespace {

constexpr DWORD kToolTimeoutMs = 60000;

// The stand-in installers as the vendor signed them at build time: a build
// for each architecture, and a newer build as the one for both.
const wchar_t kSetup64[] = L"setup64.exe";
const wchar_t kSetup32[] = L"setup32.exe";
const wchar_t kSetupBoth[] = L"newer\\setup64.exe";
const char kManual[] = "%PDF-1.4 Velora manual";

bool expect_64bit() {
  const char* windows = std::getenv("VELORA_EXPECT_WINDOWS");
  return !windows || std::string(windows) != "win32";
}

std::wstring server_state() { return path_from_environment("VELORA_UPDATE_SERVER"); }

std::string http_port() {
  const std::string ports = read_file(server_state() + L"\\ports.json");
  std::smatch match;
  return std::regex_search(ports, match, std::regex("\"http\": (\\d+)")) ? match[1].str() : std::string();
}

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string bytes_of(const char* text, size_t size) { return std::string(text, size - 1); }

struct release_case {
  const char* what;
  const wchar_t* version;
  bool one_for_both;
  const wchar_t* new_major_version;  // null: none announced
  const wchar_t* new_major_url;
  // Signed by the test vendor: the same values, the freshness line skipped,
  // read by a downloader that takes only signed manifests.
  bool signed_manifest;

  // The input this Windows downloads, its name as published.
  std::wstring installer_input() const {
    if (one_for_both) return L"Setup.exe";
    return expect_64bit() ? L"Setup64.exe" : L"Setup32.exe";
  }
  std::wstring installer_name() const {
    if (one_for_both) return L"setup.exe";
    return expect_64bit() ? L"setup64.exe" : L"setup32.exe";
  }
};

std::ostream& operator<<(std::ostream& out, const release_case& c) { return out << c.what; }

const release_case kReleases[] = {
    {"an installer per architecture", L"6.0.2.1", false, nullptr, nullptr, false},
    // The announced page is written as given, capitals and all.
    {"one installer for both, and a newer generation", L"6.0.3.0", true, L"7.0.0.0", L"http://example.test/V7/",
     false},
    {"a signed manifest", L"6.0.4.0", false, L"7.0.0.0", L"http://example.test/V7/", true},
};

class PublishedRelease : public ::testing::TestWithParam<release_case> {
protected:
  void SetUp() override {
    ASSERT_FALSE(http_port().empty()) << "the update server is not running";
    root_ = server_state() + L"\\root";
    // Input files under names in mixed case: they are served in lower case.
    const std::wstring standins = path_from_environment("VELORA_BUILD_DIR") + L"\\tools\\setup_standin\\";
    ASSERT_TRUE(copy_file(standins + kSetup64, inputs_.path() + L"Setup64.exe"));
    ASSERT_TRUE(copy_file(standins + kSetup32, inputs_.path() + L"Setup32.exe"));
    ASSERT_TRUE(copy_file(standins + kSetupBoth, inputs_.path() + L"Setup.exe"));
    write_file(inputs_.path() + L"VL6Manual.pdf", bytes_of(kManual, sizeof(kManual)));
    // The stand-ins are signed anew at each build: what an earlier build
    // published under this version goes, or the tool would refuse new bytes.
    remove_tree(root_ + L"\\download\\" + GetParam().version);
  }

  // Runs vl6publish publish into the served tree; returns its exit code.
  DWORD publish(const release_case& release) {
    std::wstring arguments = L"publish --out \"" + root_ + L"\" --version " + release.version +
                             L" --base-url http://127.0.0.1:" + wide(http_port()) + L" --manual \"" +
                             inputs_.path() + L"VL6Manual.pdf\"";
    if (release.one_for_both) {
      arguments += L" --setup-both \"" + inputs_.path() + L"Setup.exe\"";
    } else {
      arguments += L" --setup64 \"" + inputs_.path() + L"Setup64.exe\" --setup32 \"" + inputs_.path() +
                   L"Setup32.exe\"";
    }
    if (release.new_major_version) {
      arguments += std::wstring(L" --new-major ") + release.new_major_version + L" " + release.new_major_url;
    }
    if (release.signed_manifest) {
      const std::wstring pki = path_from_environment("VELORA_TEST_PKI");
      arguments += L" --sign-cert \"" + pki + L"\\vendor.pem\" --sign-key \"" + pki + L"\\vendor.key\"";
    }
    test_process tool(path_from_environment("VELORA_VL6PUBLISH"), arguments);
    DWORD exit_code = 0;
    if (!tool.wait(kToolTimeoutMs, &exit_code)) {
      tool.kill();
      ADD_FAILURE() << "vl6publish did not end";
    }
    return exit_code;
  }

  std::wstring root_;
  temp_folder inputs_{L"vl6publish-inputs"};
  temp_folder downloads_{L"vl6publish-downloads"};
};

TEST_P(PublishedRelease, IsWhatTheLaunchersDownloaderTakes) {
  const release_case& release = GetParam();
  ASSERT_EQ(publish(release), 0u);
  // An unsigned release removes the signature an earlier one left.
  EXPECT_EQ(::GetFileAttributesW((root_ + L"\\launcher\\installer6.lt.p7s").c_str()) != INVALID_FILE_ATTRIBUTES,
            release.signed_manifest);

  const std::wstring server = L"http://127.0.0.1:" + wide(http_port());
  // A signed manifest is read by a downloader that takes only signed ones,
  // as a launcher built with VELORA_SIGNED_MANIFEST does (no serial kept).
  manifest_signing signing;
  if (release.signed_manifest) {
    signing.required = true;
    signing.publisher = VELORA_PUBLISHER;
    signing.roots = build_publisher_roots();
    signing.launcher_version = VELORA_VERSION_TEXT;
  }
  CInstallerDownloader downloader{VELORA_PUBLISHER, signing};
  ASSERT_TRUE(downloader.DownloadLtFile(nullptr, server));
  const std::wstring release_url = server + L"/download/" + release.version + L"/";
  EXPECT_EQ(downloader.GetLatestUrl(), release_url + release.installer_name());
  EXPECT_EQ(downloader.GetLatestManualUrl(), release_url + L"vl6manual.pdf");
  EXPECT_EQ(downloader.new_major_released, release.new_major_version != nullptr);
  if (release.new_major_version) {
    EXPECT_EQ(downloader.GetNewMajorVersion(), release.new_major_version);
    EXPECT_EQ(downloader.GetNewMajorUrl(), release.new_major_url);
  }

  // The launcher's own download, MD5 and publisher check; the bytes are the input's.
  const std::wstring installer = downloads_.path() + L"vlr6setup\\" + release.installer_name();
  ASSERT_TRUE(downloader.DownloadFile(nullptr, downloader.GetLatestUrl(), installer, downloader.GetLatestMd5()));
  EXPECT_EQ(read_file(installer), read_file(inputs_.path() + release.installer_input()));
  // The manual is not signed: the launcher fetches it without the publisher check.
  CInstallerDownloader manual_downloader{std::wstring()};
  const std::wstring manual = downloads_.path() + L"vl6manual.pdf";
  ASSERT_TRUE(manual_downloader.DownloadFile(nullptr, downloader.GetLatestManualUrl(), manual,
                                             downloader.GetLatestManualMd5()));
  EXPECT_EQ(read_file(manual), bytes_of(kManual, sizeof(kManual)));
}

INSTANTIATE_TEST_SUITE_P(Releases, PublishedRelease, ::testing::ValuesIn(kReleases));

}  // namespace
