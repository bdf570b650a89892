// Finding the installer and the manual at hand, against real folders: the
// temporary-folder cache (a real %TEMP% of the test's own) and the "vlr6setup"
// folder beside the program.
#include "launcher/data_control.h"
#include "support/windows_facts.h"
#include "support/private_folder.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_links.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

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

// ----- the cache folder as the launcher's own ------------------------------

// Another program of the user made the cache folder beforehand as a link to
// a folder of its choosing. The link is no cache: nothing there is taken for
// a cached installer, and nothing the launcher writes lands where it leads.
// Where the system can address a link itself (Windows), the link is removed
// and a real folder made in its place; Wine follows every link it opens,
// so there the cache is not used at all, and downloading has nowhere to go.
TEST_F(Inventory, CacheFolderMadeBeforehandAsALinkIsNoCache) {
  const bool addressable = links_can_be_addressed();
  temp_folder elsewhere(L"inventory-elsewhere");
  write_file(elsewhere.path() + variant(), kAbc);
  remove_tree(cache_);
  const std::wstring cache_folder = cache_.substr(0, cache_.size() - 1);
  ASSERT_TRUE(make_unix_link(elsewhere.path(), cache_folder));

  data_.SearchLocalInstaller(&running_);
  EXPECT_NE(data_.installer_info.location, installer_info::location_temp_cache);
  EXPECT_TRUE(data_.installer_info.installer_md5.empty());

  data_.SetDownloadPath(&running_);
  if (addressable) {
    EXPECT_FALSE(is_unix_link(cache_folder)) << "the link is gone";
    EXPECT_EQ(data_.installer_info.download_path, cache_ + variant());
  } else {
    EXPECT_TRUE(data_.installer_info.download_path.empty()) << "a linked cache is not written to";
  }
  // What a download would write goes to the cache path, or nowhere.
  if (!data_.installer_info.download_path.empty()) write_file(data_.installer_info.download_path, "download");
  EXPECT_EQ(read_file(elsewhere.path() + variant()), kAbc) << "what the link led to is untouched";
  data_.ClearInstallerInfo();
  remove_unix_link(cache_folder);
}

// A cached installer that is itself a link leads to a file someone else
// chose: it is found, but has no MD5 text, so it never matches a manifest.
TEST_F(Inventory, CachedInstallerThatIsALinkHasNoDigest) {
  temp_folder elsewhere(L"inventory-elsewhere");
  write_file(elsewhere.path() + variant(), kAbc);
  ASSERT_TRUE(make_unix_link(elsewhere.path() + variant(), cache_ + variant()));

  data_.SearchLocalInstaller(&running_);
  EXPECT_TRUE(data_.installer_info.installer_md5.empty());
  EXPECT_FALSE(data_.InstallerAtHand().IsHeld());
  data_.ClearInstallerInfo();
  remove_unix_link(cache_ + variant());
  EXPECT_EQ(read_file(elsewhere.path() + variant()), kAbc);
}

// The cache folder the launcher makes gives access to the user, SYSTEM and
// the administrators only, whatever the temporary folder above allows.
TEST_F(Inventory, CacheFolderIsMadeForTheUserAlone) {
  remove_tree(cache_);
  data_.SetDownloadPath(&running_);
  ASSERT_EQ(data_.installer_info.download_path, cache_ + variant());

  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(::GetNamedSecurityInfoW(cache_.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  LPWSTR text = nullptr;
  ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                    DACL_SECURITY_INFORMATION, &text, nullptr));
  const std::wstring sddl = text;
  ::LocalFree(text);
  ::LocalFree(descriptor);
  ASSERT_NE(dacl, nullptr) << sddl;
  ASSERT_GT(dacl->AceCount, 0) << sddl;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, i, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    EXPECT_TRUE(is_own_account(sid) || ::IsWellKnownSid(sid, WinLocalSystemSid) ||
                ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
        << "an entry for someone else: " << std::string(sddl.begin(), sddl.end());
  }
  data_.ClearInstallerInfo();
}

// From the cache's check until the run lets go, nobody can rename or remove
// the folder, so what was checked in it stays in it.
TEST_F(Inventory, CacheFolderIsHeldUntilTheRunLetsGo) {
  const std::wstring folder = cache_.substr(0, cache_.size() - 1);
  const std::wstring aside = temp_.path() + L"aside";
  data_.SetDownloadPath(&running_);
  EXPECT_FALSE(::MoveFileW(folder.c_str(), aside.c_str()));
  EXPECT_FALSE(::RemoveDirectoryW(folder.c_str()));
  data_.ClearInstallerInfo();
  EXPECT_TRUE(::MoveFileW(folder.c_str(), aside.c_str()));
}

// A file where the cache folder goes: nothing is cached there, and nothing
// can be downloaded, as with a cache that cannot be written.
TEST_F(Inventory, FileWhereTheCacheFolderGoesIsNoCache) {
  remove_tree(cache_);
  write_file(cache_.substr(0, cache_.size() - 1), kAbc);
  data_.SearchLocalInstaller(&running_);
  EXPECT_EQ(data_.installer_info.location, installer_info::location_none);
  data_.SetDownloadPath(&running_);
  EXPECT_TRUE(data_.installer_info.download_path.empty());
  EXPECT_EQ(read_file(cache_.substr(0, cache_.size() - 1)), kAbc);
}

TEST(CacheOwner, OnlyThisAccountOwnsTheCache) {
  PSID foreign = nullptr;
  ASSERT_TRUE(::ConvertStringSidToSidW(L"S-1-5-21-1004336348-1177238915-682003330-1001", &foreign));
  EXPECT_FALSE(is_own_account(foreign));
  ::LocalFree(foreign);
  EXPECT_FALSE(is_own_account(nullptr));

  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE user[256];
  DWORD size = 0;
  ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user, sizeof(user), &size));
  ::CloseHandle(token);
  EXPECT_TRUE(is_own_account(reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
}
