// The signed manifest against the local update server, without a window:
// which manifests a downloader that requires the publisher's signature takes
// and which it refuses (each refusal a failed manifest request, logged with
// its reason), the serial it keeps, and that a downloader without the
// requirement reads as before and asks for no signature. The manifests and
// their signatures are made with openssl from the test PKI
// (signed_manifests/make_signed_manifests.py).
#include "support/publisher_roots.h"
#include "support/system_log.h"
#include "tests/support/local_update_server.h"
#include "tests/support/test_files.h"
#include "update/installer_downloader.h"
#include "update/manifest_serial_store.h"
#include "update/manifest_signing.h"
#include "update/manifest_version.h"
#include "update/update_server.h"
#include "velora_endpoints.h"
#include "velora_version.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <string>

namespace server = local_update_server;

namespace {

const char kSignatureTarget[] = "/launcher/installer6.lt.p7s?scode=r7qd";
const wchar_t kGoodMd5[] = L"0123456789abcdef0123456789abcdef";
constexpr uint64_t kGoodSerial = 20;

// The serial store of one case.
class memory_serials : public manifest_serial_store {
public:
  explicit memory_serials(uint64_t highest) : highest_(highest) {}
  uint64_t highest() const override { return highest_; }
  bool raise(uint64_t serial) override {
    if (serial > highest_) highest_ = serial;
    return true;
  }

private:
  uint64_t highest_;
};

std::string fixture(const std::string& name) {
  return read_file(path_from_environment("VELORA_SIGNED_MANIFESTS") + L"\\" +
                   std::wstring(name.begin(), name.end()));
}

std::wstring served_signature_file() { return server::state() + L"\\root\\launcher\\installer6.lt.p7s"; }

manifest_signing required_signing(std::shared_ptr<manifest_serial_store> serials) {
  manifest_signing signing;
  signing.required = true;
  signing.publisher = VELORA_PUBLISHER;
  signing.roots = build_publisher_roots();
  signing.serials = std::move(serials);
  signing.launcher_version = VELORA_VERSION_TEXT;
  return signing;
}

class SignedManifest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(server::port("http").empty()) << "the update server is not running";
    server::set_rules("{}");
    ::DeleteFileW(served_signature_file().c_str());
    ASSERT_TRUE(g_system_log.init(log_folder_.path().c_str()));
  }
  void TearDown() override {
    server::set_rules("{}");
    ::DeleteFileW(served_signature_file().c_str());
  }
  std::string log() const { return read_file(log_folder_.path() + L"system.log"); }
  void clear_log() const { write_file(log_folder_.path() + L"system.log", ""); }

  temp_folder log_folder_{L"signed-manifest-log"};
  log_switch_files switches_{true, false};
};

// The install and the guide workflow may each read the manifest at the same
// time, and the first signature check of a process is the slow one.
TEST_F(SignedManifest, TwoAtOnceAreBothJudged) {
  server::publish(kManifestPath, fixture("good.lt"));
  server::publish(kManifestSignaturePath, fixture("good.lt.p7s"));
  std::atomic<int> taken{0};
  auto read = [&] {
    CInstallerDownloader downloader(std::wstring(), required_signing(std::make_shared<memory_serials>(0)));
    if (downloader.DownloadLtFile(nullptr, server::address())) ++taken;
  };
  std::thread first(read), second(read);
  first.join();
  second.join();
  std::thread(read).join();
  std::thread(read).join();
  EXPECT_EQ(taken.load(), 4);
}

// Each row: the manifest served, the signature served beside it (none: 404),
// a rule for the signature's path, the serial accepted before, and the
// refusal logged ("" when the manifest is taken).
TEST_F(SignedManifest, TakesOnlyAGoodFreshManifestOfThePublisher) {
  const std::string older_launcher_installer =
      std::string("installer 6.0.0.1 is older than this launcher, ") + VELORA_VERSION_TEXT;
  const struct {
    const char* name;
    std::string manifest;
    const char* signature;
    const char* signature_rule;
    uint64_t accepted_before;
    std::string refusal;
  } cases[] = {
      {"good", fixture("good.lt"), "good.lt.p7s", nullptr, 0, ""},
      {"the same manifest read again", fixture("good.lt"), "good.lt.p7s", nullptr, kGoodSerial, ""},
      {"one byte changed", [] {
         std::string changed = fixture("good.lt");
         changed[changed.find("0123456789abcdef")] = '1';
         return changed;
       }(), "good.lt.p7s", nullptr, 0, "signature step "},
      {"another publisher", fixture("other.lt"), "other.lt.p7s", nullptr, 0, "signature step "},
      {"a chain that cannot be completed", fixture("orphan.lt"), "orphan.lt.p7s", nullptr, 0,
       "signature step chain "},
      {"expired", fixture("expired.lt"), "expired.lt.p7s", nullptr, 0, "expired at 2020-06-01T00:00:00Z"},
      {"an older serial after a newer one", fixture("replayed.lt"), "replayed.lt.p7s", nullptr, kGoodSerial,
       "serial 10 is lower than 20, accepted before"},
      {"an installer older than the launcher", fixture("old_installer.lt"), "old_installer.lt.p7s", nullptr, 0,
       older_launcher_installer},
      {"no freshness line", fixture("unfresh.lt"), "unfresh.lt.p7s", nullptr, 0, "no valid freshness line"},
      {"no signature", fixture("good.lt"), nullptr, nullptr, 0, "no signature"},
      {"a signature over its size limit", fixture("good.lt"), "good.lt.p7s", R"({"repeat_to": 65537})", 0,
       "no signature"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server::publish(kManifestPath, c.manifest);
    if (c.signature) {
      server::publish(kManifestSignaturePath, fixture(c.signature));
    } else {
      ::DeleteFileW(served_signature_file().c_str());
    }
    server::set_rules(c.signature_rule
                          ? std::string(R"({"rules": {")") + kManifestSignaturePath + "\": " + c.signature_rule + "}}"
                          : "{}");
    server::clear_record();
    clear_log();

    const auto serials = std::make_shared<memory_serials>(c.accepted_before);
    CInstallerDownloader downloader(std::wstring(), required_signing(serials));
    const bool taken = c.refusal.empty();
    EXPECT_EQ(downloader.DownloadLtFile(nullptr, server::address()), taken);
    EXPECT_EQ(downloader.GetLatestMd5(), taken ? kGoodMd5 : L"");
    EXPECT_EQ(downloader.GetLatestManualMd5().empty(), !taken) << "a refused manifest leaves no value";
    EXPECT_EQ(serials->highest(), taken ? kGoodSerial : c.accepted_before)
        << "the serial is raised only for a manifest taken";

    const std::string log_text = log();
    const size_t refused = log_text.find("\tmanifest refused: ");
    if (taken) {
      EXPECT_EQ(refused, std::string::npos) << log_text;
    } else {
      // At level 5, the failures'.
      EXPECT_NE(log_text.find("/5\tLauncher\tmanifest refused: " + c.refusal), std::string::npos) << log_text;
    }

    // The signature is asked for after the manifest, at the manifest's
    // address + ".p7s", as the manifest is asked for.
    const auto seen = server::requests("http");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].target, kSignatureTarget);
    EXPECT_EQ(seen[1].header("User-Agent"), seen[0].header("User-Agent"));
    EXPECT_EQ(seen[1].header("Cache-Control"), "no-cache");
  }
}

// A manifest that cannot be had needs no signature.
TEST_F(SignedManifest, AFailedManifestRequestAsksForNoSignature) {
  server::publish(kManifestSignaturePath, fixture("good.lt.p7s"));
  server::set_rules(std::string(R"({"rules": {")") + kManifestPath + R"(": {"status": 404}}})");
  server::clear_record();
  CInstallerDownloader downloader(std::wstring(), required_signing(std::make_shared<memory_serials>(0)));
  EXPECT_FALSE(downloader.DownloadLtFile(nullptr, server::address()));
  EXPECT_EQ(server::requests("http").size(), 1u);
}

// Without the requirement, a manifest with or without a freshness line reads
// as it always did, and no signature is asked for.
TEST_F(SignedManifest, WithoutTheRequirementNoSignatureIsAskedFor) {
  for (const char* name : {"unfresh.lt", "expired.lt", "old_installer.lt"}) {
    SCOPED_TRACE(name);
    server::publish(kManifestPath, fixture(name));
    server::clear_record();
    CInstallerDownloader downloader{std::wstring()};
    EXPECT_TRUE(downloader.DownloadLtFile(nullptr, server::address()));
    EXPECT_EQ(downloader.GetLatestMd5(), kGoodMd5);
    const auto seen = server::requests("http");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "/launcher/installer6.lt?scode=r7qd");
  }
}

// Versions are compared number by number, by value: 6.0.1.2 is older than
// 6.0.1.12, leading zeros and numbers too long for any integer included.
TEST(ManifestVersionOrder, NumberByNumberByValue) {
  const struct {
    const char* left;
    const char* right;
    int order;
  } cases[] = {
      {"6.0.1.2", "6.0.1.12", -1},
      {"6.0.1.12", "6.0.1.12", 0},
      {"06.0.01.012", "6.0.1.12", 0},
      {"6.0.2.0", "6.0.1.12", 1},
      {"6.1.0.0", "6.0.99.99", 1},
      {"6.0.0.99999999999999999999", "6.0.0.99999999999999999998", 1},
      {"release-6.1.0.0-beta", "6.0.1.12", 1},
      {"6.1.0", "6.0.0.0", -1},
  };
  for (const auto& c : cases) {
    const int order = compare_manifest_versions(c.left, c.right);
    EXPECT_EQ((order > 0) - (order < 0), c.order) << c.left << " against " << c.right;
    const int reverse = compare_manifest_versions(c.right, c.left);
    EXPECT_EQ((reverse > 0) - (reverse < 0), -c.order) << c.right << " against " << c.left;
  }
}

// The launcher's own store: per user, REG_QWORD, only ever raised; a value
// of another type or size counts as none.
TEST(RegistrySerialStore, KeepsTheHighestAndReadsAnOddValueAsNone) {
  const wchar_t kTestKey[] = L"Software\\Velora\\LauncherSerialTest";
  ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
  registry_serial_store store(kTestKey);
  EXPECT_EQ(store.highest(), 0u);
  EXPECT_TRUE(store.raise(7));
  EXPECT_TRUE(store.raise(5));
  EXPECT_EQ(store.highest(), 7u);
  EXPECT_EQ(registry_serial_store(kTestKey).highest(), 7u) << "kept beyond the object";

  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const DWORD short_value = 9;
  ::RegSetValueExW(key, kManifestSerialValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&short_value),
                   sizeof(short_value));
  EXPECT_EQ(store.highest(), 0u) << "a REG_DWORD is not the store's value";
  const wchar_t text[] = L"99";
  ::RegSetValueExW(key, kManifestSerialValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
  EXPECT_EQ(store.highest(), 0u) << "nor is text";
  ::RegCloseKey(key);
  EXPECT_TRUE(store.raise(3));
  EXPECT_EQ(store.highest(), 3u) << "written anew";
  ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
}

}  // namespace
