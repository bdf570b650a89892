// A file's extension, directory facts, version strings and MD5.
#include "support/file_information.h"

#include "framework/afx_handle.h"
#include "support/path_utils.h"
#include "support/text_utils.h"
#include "tests/support/test_files.h"
#include "velora_version.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <string>

namespace {

constexpr size_t kKeys = file_information::version_key_count;
constexpr DWORD kMd5Bytes = 16;
using version_strings = const wchar_t* const[kKeys];

// The fixture's first translation (0409 04b0); "Comments" exists only in the second.
const version_strings kFixtureStrings = {
    L"Fixture Company",
    L"Versioned fixture",
    L"1.2.3.4-fixture",
    L"versioned_fixture",
    L"Copyright (C) Fixture Company",
    L"versioned_fixture.exe",
    L"Fixture Product",
    L"5.6.7.8-fixture",
    L"",
    L"Fixture(TM)",
    L"private fixture build",
    L"special fixture build",
};

const version_strings kLauncherStrings = {
    L"Camberly株式会社",
    L"Velora インストールランチャー",
    L"" VELORA_VERSION_TEXT,
    L"vl6Launcher",
    L"Copyright (C) Camberly Inc.",
    L"vl6Launcher.exe",
    L"Velora",
    L"" VELORA_VERSION_TEXT,
    L"",
    L"",
    L"",
    L"",
};

const version_strings kNoStrings = {L"", L"", L"", L"", L"", L"", L"", L"", L"", L"", L"", L""};

void expect_strings(const file_information& info, const version_strings& expected) {
  for (size_t index = 0; index < kKeys; ++index) {
    EXPECT_EQ(info.version_string(index), expected[index]) << "version string " << index;
  }
}

struct crypt_provider_traits {
  using handle_type = HCRYPTPROV;
  static HCRYPTPROV null() noexcept { return 0; }
  static bool is_valid(HCRYPTPROV h) noexcept { return h != 0; }
  static void close(HCRYPTPROV h) noexcept { ::CryptReleaseContext(h, 0); }
};

struct crypt_hash_traits {
  using handle_type = HCRYPTHASH;
  static HCRYPTHASH null() noexcept { return 0; }
  static bool is_valid(HCRYPTHASH h) noexcept { return h != 0; }
  static void close(HCRYPTHASH h) noexcept { ::CryptDestroyHash(h); }
};

// The file's MD5 as the system's CryptoAPI computes it, so that the expected
// text owes nothing to the launcher's own digest; empty when it cannot.
std::wstring reference_md5(const std::wstring& path) {
  const std::string bytes = read_file(path);
  HCRYPTPROV raw_provider = 0;
  if (!::CryptAcquireContextW(&raw_provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT)) {
    return L"";
  }
  afx_scoped_handle<crypt_provider_traits> provider(raw_provider);
  HCRYPTHASH raw_hash = 0;
  if (!::CryptCreateHash(provider.Get(), CALG_MD5, 0, 0, &raw_hash)) return L"";
  afx_scoped_handle<crypt_hash_traits> hash(raw_hash);
  BYTE digest[kMd5Bytes] = {};
  DWORD length = sizeof(digest);
  if (!::CryptHashData(hash.Get(), reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()), 0) ||
      !::CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &length, 0)) {
    return L"";
  }
  const wchar_t digits[] = L"0123456789abcdef";
  std::wstring text;
  for (BYTE b : digest) {
    text += digits[b >> 4];
    text += digits[b & 0xf];
  }
  return text;
}

bool is_md5_text(const std::wstring& text) {
  return text.size() == 2 * kMd5Bytes && std::all_of(text.begin(), text.end(), [](wchar_t c) {
           return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f');
         });
}

bool same_time(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The facts the file system gives for `path` now, against those Load took.
void expect_directory_facts(const file_information& info, const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(info.file_name(), file_name_of(path));
  EXPECT_EQ(info.attributes(), data.dwFileAttributes);
  EXPECT_EQ(info.size_high(), data.nFileSizeHigh);
  EXPECT_EQ(info.size_low(), data.nFileSizeLow);
  EXPECT_NE(info.size_low(), 0u);
  EXPECT_TRUE(same_time(info.creation_time(), data.ftCreationTime));
  EXPECT_TRUE(same_time(info.last_write_time(), data.ftLastWriteTime));
}

class FileInformation : public ::testing::Test {
protected:
  void SetUp() override {
    fixture_ = path_from_environment("VELORA_VERSIONED_FIXTURE");
    ASSERT_TRUE(file_exists(fixture_)) << "VELORA_VERSIONED_FIXTURE is not a file";
    fixture_md5_ = reference_md5(fixture_);
    ASSERT_TRUE(is_md5_text(fixture_md5_));
  }

  temp_folder folder_{L"file-information"};
  std::wstring fixture_;
  std::wstring fixture_md5_;
};

TEST_F(FileInformation, LoadTakesEverythingFromAVersionedProgram) {
  file_information info;
  ASSERT_TRUE(info.Load(fixture_));
  EXPECT_EQ(info.extension(), L"exe");
  expect_directory_facts(info, fixture_);
  expect_strings(info, kFixtureStrings);
  EXPECT_EQ(info.GetFileVersion(), L"1.2.3.4-fixture");
  EXPECT_EQ(info.GetProductVersion(), L"5.6.7.8-fixture");
  EXPECT_EQ(info.GetMd5(), fixture_md5_);
}

TEST_F(FileInformation, AnUpperCaseExtensionStillNamesAProgram) {
  const std::wstring setup = folder_.path() + L"SETUP.EXE";
  ASSERT_TRUE(copy_file(fixture_, setup));
  file_information info;
  EXPECT_TRUE(info.ReadVersionInfo(setup));
  EXPECT_EQ(info.extension(), L"EXE");
  EXPECT_EQ(info.GetFileVersion(), L"1.2.3.4-fixture");
}

TEST_F(FileInformation, AProgramWithoutAVersionResourceLeavesEveryStringEmpty) {
  const std::wstring unversioned = path_from_environment("VELORA_UNVERSIONED_FIXTURE");
  ASSERT_TRUE(file_exists(unversioned));
  file_information info;
  ASSERT_TRUE(info.Load(fixture_));
  EXPECT_FALSE(info.ReadVersionInfo(unversioned));
  expect_strings(info, kNoStrings);
}

TEST_F(FileInformation, AMissingFileGivesNothing) {
  file_information info;
  EXPECT_FALSE(info.Load(folder_.path() + L"missing.exe"));
  EXPECT_EQ(info.extension(), L"exe");
  EXPECT_EQ(info.file_name(), L"");
  EXPECT_EQ(info.size_low(), 0u);
  expect_strings(info, kNoStrings);
  EXPECT_EQ(info.GetMd5(), L"");
}

TEST_F(FileInformation, ALaterFailedLoadKeepsTheEarlierFactsAndDigest) {
  file_information info;
  ASSERT_TRUE(info.Load(fixture_));
  EXPECT_FALSE(info.Load(folder_.path() + L"missing.exe"));
  EXPECT_EQ(info.file_name(), file_name_of(fixture_));
  EXPECT_EQ(info.GetMd5(), fixture_md5_);
  // The version step starts over for any program path.
  expect_strings(info, kNoStrings);
}

// Users whose folders hold characters the Japanese ANSI code page lacks must
// still get a digest of their installer.
TEST_F(FileInformation, APathOutsideTheAnsiCodePageIsDigested) {
  const std::wstring folder = folder_.path() + L"Jos\u00e9\u0100\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr))
      << "Wine cannot name the folder (error " << ::GetLastError()
      << "): its Unix locale must be a UTF-8 one, see tests/fixtures/CMakeLists.txt";
  const std::wstring setup = folder + L"setup.exe";
  ASSERT_TRUE(copy_file(fixture_, setup));
  ASSERT_EQ(::GetACP(), 932u);
  ASSERT_NE(ansi_to_wide(CP_ACP, wide_to_ansi(setup)), setup)
      << "the path must not survive the ANSI code page";

  file_information info;
  EXPECT_TRUE(info.Load(setup));
  EXPECT_EQ(info.GetMd5(), fixture_md5_);
  expect_directory_facts(info, setup);
  EXPECT_EQ(info.GetFileVersion(), L"1.2.3.4-fixture");
}

// The resource compiler drops non-ASCII text silently when the script's code
// page is not set; reading the launcher's own strings back shows it did not.
TEST(LauncherVersionResource, ReadsBackTheProjectVersionAndTheJapaneseTexts) {
  const std::wstring launcher = path_from_environment("VELORA_LAUNCHER");
  ASSERT_TRUE(file_exists(launcher)) << "VELORA_LAUNCHER is not a file";
  file_information info;
  ASSERT_TRUE(info.ReadVersionInfo(launcher));
  EXPECT_EQ(info.GetFileVersion(), L"" VELORA_VERSION_TEXT);
  EXPECT_EQ(info.GetProductVersion(), L"" VELORA_VERSION_TEXT);
  expect_strings(info, kLauncherStrings);
}

// Files that are not programs: a real PDF, and a download still named .tmp
// that is in fact a versioned program.
struct document_case {
  const char* what;
  const wchar_t* name;
  const wchar_t* extension;
  const char* content;  // null: a copy of the versioned fixture
};

std::ostream& operator<<(std::ostream& out, const document_case& c) { return out << c.what; }

const document_case kDocumentCases[] = {
    {"a PDF manual", L"manual.pdf", L"pdf", "%PDF-1.4\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n"},
    {"a program downloaded as .tmp", L"download.tmp", L"tmp", nullptr},
};

class Documents : public FileInformation,
                  public ::testing::WithParamInterface<document_case> {
protected:
  std::wstring make_document() {
    const document_case& c = GetParam();
    const std::wstring path = folder_.path() + c.name;
    if (c.content) {
      write_file(path, c.content);
    } else if (!copy_file(fixture_, path)) {
      ADD_FAILURE() << "cannot copy the fixture";
    }
    return path;
  }
};

TEST_P(Documents, HaveNoVersionStrings) {
  const std::wstring document = make_document();
  file_information info;
  EXPECT_FALSE(info.ReadVersionInfo(document));
  EXPECT_EQ(info.extension(), GetParam().extension);
  expect_strings(info, kNoStrings);
}

TEST_P(Documents, LoadDigestsThemAndLeavesEarlierVersionStringsAlone) {
  const std::wstring document = make_document();
  file_information info;
  ASSERT_TRUE(info.Load(fixture_));
  EXPECT_FALSE(info.Load(document));
  expect_strings(info, kFixtureStrings);
  expect_directory_facts(info, document);
  EXPECT_EQ(info.GetMd5(), reference_md5(document));
  EXPECT_TRUE(is_md5_text(info.GetMd5()));
}

INSTANTIATE_TEST_SUITE_P(Table, Documents, ::testing::ValuesIn(kDocumentCases));

// Paths that name no extension, relative to a test folder that is also the
// current folder. Where a file exists it is a copy of the versioned fixture,
// so only the extension rule keeps its strings out.
struct no_extension_case {
  const char* what;
  const wchar_t* path;
  bool relative;              // used as written, against the current folder
  const wchar_t* found_name;  // what the directory search reports, or null
};

std::ostream& operator<<(std::ostream& out, const no_extension_case& c) { return out << c.what; }

const no_extension_case kNoExtensionCases[] = {
    {"the only dot is in a folder name", L"named.exe\\setup", false, L"setup"},
    {"the path ends with a backslash", L"named.exe\\", false, nullptr},
    {"the path ends with a slash", L"named.exe/", false, nullptr},
    {"the only dot is the first character", L".exe", true, L".exe"},
    {"a one-character path", L"x", true, nullptr},
    {"an empty path", L"", true, nullptr},
};

// Makes `folder` the current folder while the object lives.
class current_folder_scope {
public:
  explicit current_folder_scope(const std::wstring& folder) {
    wchar_t saved[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    saved_ = saved;
    ::SetCurrentDirectoryW(folder.c_str());
  }
  current_folder_scope(const current_folder_scope&) = delete;
  current_folder_scope& operator=(const current_folder_scope&) = delete;
  ~current_folder_scope() { ::SetCurrentDirectoryW(saved_.c_str()); }

private:
  std::wstring saved_;
};

class NoExtension : public FileInformation,
                    public ::testing::WithParamInterface<no_extension_case> {};

TEST_P(NoExtension, MeansNoVersionStrings) {
  const no_extension_case& c = GetParam();
  const std::wstring named = folder_.path() + L"named.exe\\";
  ASSERT_TRUE(::CreateDirectoryW(named.c_str(), nullptr));
  ASSERT_TRUE(copy_file(fixture_, named + L"setup"));
  ASSERT_TRUE(copy_file(fixture_, folder_.path() + L".exe"));
  current_folder_scope in_folder(folder_.path());
  const std::wstring path = c.relative ? std::wstring(c.path) : folder_.path() + c.path;

  file_information info;
  EXPECT_FALSE(info.ReadVersionInfo(path));
  EXPECT_FALSE(info.Load(path));
  EXPECT_EQ(info.extension(), L"");
  expect_strings(info, kNoStrings);
  EXPECT_EQ(info.file_name(), c.found_name ? c.found_name : L"");
}

INSTANTIATE_TEST_SUITE_P(Table, NoExtension, ::testing::ValuesIn(kNoExtensionCases));

}  // namespace
