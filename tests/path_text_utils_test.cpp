// Path canonicalisation, ANSI/UTF-16 conversion, ASCII case and hex digits, and existence.
#include "support/ascii.h"
#include "support/file_exists.h"
#include "support/path_utils.h"
#include "support/text_utils.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring environment(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2] = {};
  ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
  return value;
}

using path_function = std::wstring (*)(const std::wstring&);

struct path_case {
  const char* what;
  path_function function;
  std::wstring input;
  std::wstring expected;  // "$TEMP" stands for the temporary folder
};

std::ostream& operator<<(std::ostream& out, const path_case& c) { return out << c.what; }

const path_case kPathCases[] = {
    {"normalize: four backslashes become two", normalize_path, L"C:/a//b\\\\\\\\c",
     L"C:\\a\\b\\\\c"},
    {"normalize: two backslashes become one", normalize_path, L"C:/a//b\\\\c", L"C:\\a\\b\\c"},
    {"normalize: three become two", normalize_path, L"a\\\\\\b", L"a\\\\b"},
    {"normalize: five become three", normalize_path, L"a\\\\\\\\\\b", L"a\\\\\\b"},
    {"normalize: directory joined with a name", normalize_path,
     L"C:\\dir\\" L"\\vlr6setup\\setup32.exe", L"C:\\dir\\vlr6setup\\setup32.exe"},
    {"normalize: network path loses a backslash", normalize_path, L"\\\\server\\share",
     L"\\server\\share"},
    {"normalize: %temp% expands", normalize_path, L"%temp%\\vlr6setup\\setup64.exe",
     L"$TEMP\\vlr6setup\\setup64.exe"},
    {"normalize: undefined variable stays", normalize_path, L"%VELORA_UNDEFINED_NAME%/x",
     L"%VELORA_UNDEFINED_NAME%\\x"},
    {"normalize: separators inside a value stay", normalize_path, L"%VELORA_ODD_DIR%\\f",
     L"C:\\x\\\\y/z\\f"},
    {"normalize: empty", normalize_path, L"", L""},
    {"parent_directory of a file", parent_directory, L"C:\\dir\\launcher.exe", L"C:\\dir\\"},
    {"parent_directory of a bare name", parent_directory, L"launcher.exe", L""},
    {"parent_directory of a directory", parent_directory, L"C:\\dir\\", L"C:\\dir\\"},
    {"parent_directory normalizes", parent_directory, L"C:/dir//launcher.exe", L"C:\\dir\\"},
    {"file_name_of a path", file_name_of, L"C:\\dir\\setup32.exe", L"setup32.exe"},
    {"file_name_of a bare name", file_name_of, L"setup32.exe", L"setup32.exe"},
    {"file_name_of a directory", file_name_of, L"C:\\dir\\", L""},
    {"parent_of_directory of a directory", parent_of_directory, L"C:\\a\\b\\", L"C:\\a\\"},
    {"parent_of_directory of a file", parent_of_directory, L"C:\\a\\b.txt", L"C:\\a\\"},
    {"parent_of_directory of a root", parent_of_directory, L"C:\\", L""},
    {"parent_of_directory of nothing", parent_of_directory, L"", L""},
    {"expand_environment of nothing", expand_environment, L"", L""},
    {"expand_environment of a defined name", expand_environment, L"[%VELORA_ODD_DIR%]",
     L"[C:\\x\\\\y/z]"},
};

class PathCases : public ::testing::TestWithParam<path_case> {
protected:
  static void SetUpTestSuite() { ::SetEnvironmentVariableW(L"VELORA_ODD_DIR", L"C:\\x\\\\y/z"); }
};

TEST_P(PathCases, GiveTheCanonicalText) {
  const path_case& c = GetParam();
  std::wstring expected = c.expected;
  const size_t marker = expected.find(L"$TEMP");
  if (marker != std::wstring::npos) expected.replace(marker, 5, environment(L"TEMP"));
  EXPECT_EQ(c.function(c.input), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PathCases, ::testing::ValuesIn(kPathCases));

TEST(TestBench, RunsUnderTheJapaneseAnsiCodePage) {
  EXPECT_EQ(::GetACP(), 932u);
}

// "インストール" in Shift_JIS.
const char kInstallShiftJis[] = "\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5b\x83\x8b";

TEST(TextConversion, RoundTripsJapaneseThroughTheAnsiCodePage) {
  EXPECT_EQ(wide_to_ansi(L"インストール"), kInstallShiftJis);
  EXPECT_EQ(ansi_to_wide(CP_ACP, kInstallShiftJis), L"インストール");
}

TEST(TextConversion, StopsAtAnEmbeddedNul) {
  EXPECT_EQ(ansi_to_wide(CP_ACP, std::string("ab\0cd", 5)), L"ab");
}

TEST(TextConversion, EmptyTextStaysEmpty) {
  EXPECT_EQ(wide_to_ansi(L""), "");
  EXPECT_EQ(ansi_to_wide(CP_ACP, ""), L"");
}

TEST(TextConversion, UnmappableCharactersAreReplaced) {
  // Thai has no place in code page 932.
  EXPECT_EQ(wide_to_ansi(L"a\x0e01z"), "a?z");
}

TEST(ReplaceAll, NeverSearchesTheInsertedText) {
  EXPECT_EQ(replace_all(L"aaa", L"a", L"aa"), L"aaaaaa");
  EXPECT_EQ(replace_all(L"\\\\\\\\", L"\\\\", L"\\"), L"\\\\");
  EXPECT_EQ(replace_all(L"abc", L"x", L"y"), L"abc");
}

// Only A to Z fold: their neighbours in the code table, bytes above 0x7F (a
// Shift_JIS lead or trail byte) and full-width letters stay as they are.
TEST(AsciiText, CaseFoldsOnlyTheLettersAToZ) {
  EXPECT_EQ(ascii_lower(std::string("@AZ[`az{\x82\xC1\xFF")), "@az[`az{\x82\xC1\xFF");
  EXPECT_EQ(ascii_lower(std::wstring(L"Setup64.EXE \xFF21\x00C9")), L"setup64.exe \xFF21\x00C9");
  EXPECT_TRUE(equals_ascii_lower("64BiT", "64bit"));
  EXPECT_FALSE(equals_ascii_lower("64bit", "64BIT")) << "the second text is taken as lower case";
  EXPECT_FALSE(equals_ascii_lower("64bi", "64bit"));
  EXPECT_FALSE(equals_ascii_lower(std::string("64bit\0", 6), "64bit"));
}

TEST(AsciiText, HexDigitsInEitherCaseAndNothingElse) {
  const struct {
    char c;
    int value;
  } cases[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15},
               {'/', -1}, {':', -1}, {'@', -1}, {'G', -1}, {'`', -1}, {'g', -1}, {'\xB0', -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(hex_digit_value(c.c), c.value) << c.c;
    EXPECT_EQ(is_hex_digit(c.c), c.value >= 0) << c.c;
  }
}

TEST(FileExists, FilesAndFoldersAreFoundAndOnlyFoldersAreFolders) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring folder = std::wstring(temp) + L"velora-exists-" +
                              std::to_wstring(::GetCurrentProcessId());
  const std::wstring file = folder + L"\\file.txt";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const HANDLE created = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  ::CloseHandle(created);

  EXPECT_TRUE(path_exists(file));
  EXPECT_TRUE(path_exists(folder));
  EXPECT_FALSE(path_exists(folder + L"\\missing.txt"));
  EXPECT_FALSE(path_exists(folder + L"\\missing\\file.txt"));
  EXPECT_TRUE(directory_exists(folder));
  EXPECT_FALSE(directory_exists(file));
  EXPECT_FALSE(directory_exists(folder + L"\\missing"));

  ::DeleteFileW(file.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace
