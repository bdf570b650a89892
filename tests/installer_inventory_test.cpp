// Finding the installer and the manual at hand, against real folders: the
// temporary-folder cache (a real %TEMP% of the test's own) and the "vlr6setup"
// folder beside the program.
#include "launcher/data_control.h"
#include "support/windows_facts.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// MD5 of "abc" (RFC 1321 test suite).
const char kAbc[] = "abc";
const wchar_t kAbcMd5[] = L"900150983cd24fb0d6963f7d28e17f72";
const wchar_t kSentinel[] = L"untouched";

bool expect_64bit() {
  const char* windows = std::getenv("VELORA_EXPECT_WINDOWS");
  return !windows || std::string(windows) != "win32";
}

class Inventory : public ::testing::Test {
protected:
  void SetUp() override {
    ::SetEnvironmentVariableW(L"TEMP", temp_.path().substr(0, temp_.path().size() - 1).c_str());
    cache_ = temp_.path() + L"vlr6setup\\";
    bundle_ = launcher_directory() + L"vlr6setup\\";
    remove_tree(bundle_);
    ::CreateDirectoryW(cache_.c_str(), nullptr);
    ::CreateDirectoryW(bundle_.c_str(), nullptr);
    data_.ClearInstallerInfo();
    data_.ClearManualInfo();
  }
  void TearDown() override { remove_tree(bundle_); }

  static std::wstring variant() { return expect_64bit() ? L"setup64.exe" : L"setup32.exe"; }
  static std::wstring other_variant() { return expect_64bit() ? L"setup32.exe" : L"setup64.exe"; }

  temp_folder temp_{L"inventory-temp"};
  std::wstring cache_;
  std::wstring bundle_;
  CDataControl data_;
  stop_flag running_{0};
};

TEST_F(Inventory, KnowsWhichWindowsItRunsOn) {
  EXPECT_EQ(Is64BitOS(), expect_64bit());
}

TEST_F(Inventory, CachedInstallerWinsOverTheOneBesideTheLauncher) {
  write_file(cache_ + variant(), kAbc);
  write_file(bundle_ + variant(), "bundled");
  data_.SearchLocalInstaller(&running_);
  EXPECT_EQ(data_.installer_info.location, installer_info::location_temp_cache);
  EXPECT_EQ(data_.installer_info.installer_path, cache_ + variant());
  EXPECT_EQ(data_.installer_info.installer_md5, kAbcMd5);
}

TEST_F(Inventory, InstallerBesideTheLauncherHasACanonicalPath) {
  write_file(bundle_ + variant(), kAbc);
  data_.SearchLocalInstaller(&running_);
  EXPECT_EQ(data_.installer_info.location, installer_info::location_beside_launcher);
  EXPECT_EQ(data_.installer_info.installer_path, bundle_ + variant());
  EXPECT_EQ(data_.installer_info.installer_path.find(L"\\\\"), std::wstring::npos);
  EXPECT_EQ(data_.installer_info.installer_md5, kAbcMd5);
}

TEST_F(Inventory, OnlyTheOtherVariantCountsAsNothing) {
  write_file(cache_ + other_variant(), kAbc);
  write_file(bundle_ + other_variant(), kAbc);
  data_.SearchLocalInstaller(&running_);
  EXPECT_EQ(data_.installer_info.location, installer_info::location_none);
  EXPECT_TRUE(data_.installer_info.installer_path.empty());
  EXPECT_TRUE(data_.installer_info.installer_md5.empty());
}

TEST_F(Inventory, AFolderNamedLikeTheInstallerIsFoundWithoutADigest) {
  ::CreateDirectoryW((cache_ + variant()).c_str(), nullptr);
  data_.SearchLocalInstaller(&running_);
  EXPECT_EQ(data_.installer_info.location, installer_info::location_temp_cache);
  EXPECT_EQ(data_.installer_info.installer_path, cache_ + variant());
  EXPECT_TRUE(data_.installer_info.installer_md5.empty());
}

TEST_F(Inventory, DownloadGoesToTheCacheAndIsDigestedThere) {
  data_.SetDownloadPath(&running_);
  EXPECT_EQ(data_.installer_info.download_path, cache_ + variant());

  data_.installer_info.downloaded_md5 = kSentinel;
  data_.InspectDownloadedInstaller(&running_);
  EXPECT_TRUE(data_.installer_info.downloaded_md5.empty()) << "no file yet";

  write_file(cache_ + variant(), kAbc);
  data_.InspectDownloadedInstaller(&running_);
  EXPECT_EQ(data_.installer_info.downloaded_md5, kAbcMd5);

  data_.installer_info.download_path.clear();
  data_.InspectDownloadedInstaller(&running_);
  EXPECT_TRUE(data_.installer_info.downloaded_md5.empty()) << "no download path";
}

TEST_F(Inventory, ManualIsLookedForOnlyBesideTheLauncher) {
  write_file(cache_ + L"vl6manual.pdf", kAbc);
  data_.SearchLocalManual(&running_);
  EXPECT_EQ(data_.manual_info.location, manual_info::location_none);

  write_file(bundle_ + L"vl6manual.pdf", kAbc);
  data_.SearchLocalManual(&running_);
  EXPECT_EQ(data_.manual_info.location, manual_info::location_beside_launcher);
  EXPECT_EQ(data_.manual_info.manual_path, bundle_ + L"vl6manual.pdf");
  EXPECT_EQ(data_.manual_info.manual_md5, kAbcMd5);
}

TEST_F(Inventory, NullOrRaisedStopFlagChangesNothing) {
  write_file(cache_ + variant(), kAbc);
  write_file(bundle_ + L"vl6manual.pdf", kAbc);
  stop_flag raised{1};
  const stop_flag* const stops[] = {nullptr, &raised};
  for (const stop_flag* stop : stops) {
    data_.installer_info.installer_path = kSentinel;
    data_.installer_info.download_path = kSentinel;
    data_.installer_info.downloaded_md5 = kSentinel;
    data_.manual_info.manual_path = kSentinel;
    data_.SearchLocalInstaller(stop);
    data_.SetDownloadPath(stop);
    data_.InspectDownloadedInstaller(stop);
    data_.SearchLocalManual(stop);
    EXPECT_EQ(data_.installer_info.location, installer_info::location_none);
    EXPECT_EQ(data_.installer_info.installer_path, kSentinel);
    EXPECT_EQ(data_.installer_info.download_path, kSentinel);
    EXPECT_EQ(data_.installer_info.downloaded_md5, kSentinel);
    EXPECT_EQ(data_.manual_info.location, manual_info::location_none);
    EXPECT_EQ(data_.manual_info.manual_path, kSentinel);
  }
}

TEST_F(Inventory, ClearingResetsEveryField) {
  data_.installer_info.location = installer_info::location_temp_cache;
  data_.installer_info.easy_install = false;
  data_.installer_info.new_major_released = true;
  data_.installer_info.latest_url = kSentinel;
  data_.manual_info.location = manual_info::location_beside_launcher;
  data_.manual_info.latest_manual_url = kSentinel;
  data_.ClearInstallerInfo();
  data_.ClearManualInfo();
  EXPECT_EQ(data_.installer_info.location, installer_info::location_none);
  EXPECT_TRUE(data_.installer_info.easy_install);
  EXPECT_FALSE(data_.installer_info.new_major_released);
  EXPECT_TRUE(data_.installer_info.latest_url.empty());
  EXPECT_EQ(data_.manual_info.location, manual_info::location_none);
  EXPECT_TRUE(data_.manual_info.latest_manual_url.empty());
}

}  // namespace
