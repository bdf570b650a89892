// Reading the update server's manifest: a table of the format's edge cases,
// a corpus of hostile manifests and a large generated run, both compared with
// an independent reading of the format (tests/manifest_reference.py). Each
// manifest of the corpus and of the run is read a second and a third time
// with a freshness line (update/manifest_freshness.h) appended and inserted
// in its middle: a signed manifest must read as the same manifest unsigned.
#include "framework/afx_handle.h"
#include "support/text_utils.h"
#include "tests/support/test_files.h"
#include "update/installer_downloader.h"
#include "update/manifest_freshness.h"

#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What a parse leaves: the result and the seven manifest values.
struct manifest_values {
  bool result = false;
  bool new_major_released = false;
  std::wstring new_major_version;
  std::wstring new_major_url;
  std::wstring latest_md5;
  std::wstring latest_url;
  std::wstring latest_manual_md5;
  std::wstring latest_manual_url;
};

manifest_values parse(const std::string& body, bool system_is_64bit) {
  CInstallerDownloader downloader{std::wstring()};
  manifest_values taken;
  taken.result = downloader.ParseManifest(std::vector<char>(body.begin(), body.end()), system_is_64bit);
  taken.new_major_released = downloader.new_major_released;
  taken.new_major_version = downloader.GetNewMajorVersion();
  taken.new_major_url = downloader.GetNewMajorUrl();
  taken.latest_md5 = downloader.GetLatestMd5();
  taken.latest_url = downloader.GetLatestUrl();
  taken.latest_manual_md5 = downloader.GetLatestManualMd5();
  taken.latest_manual_url = downloader.GetLatestManualUrl();
  return taken;
}

std::wstring manifest_values::*const kTexts[] = {
    &manifest_values::new_major_version, &manifest_values::new_major_url,
    &manifest_values::latest_md5,        &manifest_values::latest_url,
    &manifest_values::latest_manual_md5, &manifest_values::latest_manual_url,
};
const char* const kTextNames[] = {"new_major_version", "new_major_url",     "latest_md5",
                                  "latest_url",        "latest_manual_md5", "latest_manual_url"};
constexpr size_t kTextCount = sizeof(kTexts) / sizeof(kTexts[0]);

// A short account of how two texts differ; empty when they are equal. Texts
// of a megabyte must not flood the output.
std::string difference(const std::wstring& expected, const std::wstring& actual) {
  if (expected == actual) return "";
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  std::ostringstream out;
  out << "expected " << expected.size() << " characters, got " << actual.size()
      << ", first difference at " << at << ": expected ";
  auto show = [&out](const std::wstring& text, size_t from) {
    for (size_t i = from; i < text.size() && i < from + 24; ++i) {
      const unsigned code = static_cast<unsigned>(text[i]);
      if (code >= 0x20 && code < 0x7f) {
        out << static_cast<char>(code);
      } else {
        char escaped[12];
        std::snprintf(escaped, sizeof(escaped), "\\u%04x", code);
        out << escaped;
      }
    }
  };
  show(expected, at);
  out << " got ";
  show(actual, at);
  return out.str();
}

// Every difference between what was expected and what was taken, one per line.
std::string differences(const manifest_values& expected, const manifest_values& actual) {
  std::ostringstream out;
  if (expected.result != actual.result) out << "result " << actual.result << "\n";
  if (expected.new_major_released != actual.new_major_released) {
    out << "new_major_released " << actual.new_major_released << "\n";
  }
  for (size_t i = 0; i < kTextCount; ++i) {
    const std::string text = difference(expected.*kTexts[i], actual.*kTexts[i]);
    if (!text.empty()) out << kTextNames[i] << ": " << text << "\n";
  }
  return out.str();
}

// ----- the freshness line ----------------------------------------------------

const char kFreshnessLine[] = "freshness 20 2026-01-01T00:00:00Z 2099-01-01T00:00:00Z";

bool is_line_end(char c) { return c == '\r' || c == '\n'; }

std::string with_freshness_appended(const std::string& body) {
  std::string signed_body = body;
  if (!signed_body.empty() && !is_line_end(signed_body.back())) signed_body += "\r\n";
  return signed_body + kFreshnessLine + "\r\n";
}

// After the first line end from the middle on that has a line before it (the
// header): a freshness line before any line would be the header itself.
std::string with_freshness_inserted(const std::string& body) {
  bool line_seen = false;
  for (size_t at = 0; at < body.size(); ++at) {
    if (!is_line_end(body[at])) {
      line_seen = true;
    } else if (line_seen && at >= body.size() / 2) {
      return body.substr(0, at + 1) + kFreshnessLine + "\r\n" + body.substr(at + 1);
    }
  }
  return with_freshness_appended(body);
}

// What reading `body` and its signed forms gives that `want` does not, each
// form named; empty when all three read as `want`.
std::string differences_signed_or_not(const manifest_values& want, const std::string& body, bool system_is_64bit) {
  std::string wrong = differences(want, parse(body, system_is_64bit));
  const std::string appended = differences(want, parse(with_freshness_appended(body), system_is_64bit));
  if (!appended.empty()) wrong += "with a freshness line appended: " + appended;
  const std::string inserted = differences(want, parse(with_freshness_inserted(body), system_is_64bit));
  if (!inserted.empty()) wrong += "with a freshness line inserted: " + inserted;
  return wrong;
}

// The signed forms hold the line once, past the header, where the signed
// manifest's reader finds it.
TEST(ManifestSignedForms, HoldTheFreshnessLinePastTheHeader) {
  for (const std::string& body : {std::string("h\r\nboth 6.0.2.1 x y\r\nboth manual x y"), std::string("h"),
                                 std::string("\n\nh\nboth 6.0.2.1 x y\n")}) {
    for (const std::string& signed_body : {with_freshness_appended(body), with_freshness_inserted(body)}) {
      const auto freshness = read_freshness(signed_body);
      ASSERT_TRUE(freshness.has_value()) << signed_body;
      EXPECT_EQ(freshness->serial, 20u);
      EXPECT_EQ(signed_body.find(kFreshnessLine) > body.find('h'), true) << signed_body;
    }
  }
  EXPECT_LT(with_freshness_inserted("h\r\na\r\nb\r\nc\r\nd\r\n").find(kFreshnessLine), 14u) << "in the middle";
}

// ----- the table -----------------------------------------------------------

#define MD5_A "0123456789abcdef0123456789abcdef"
#define MD5_B "fedcba9876543210fedcba9876543210"
#define MD5_M "00112233445566778899aabbccddeeff"
#define URL_64 "http://127.0.0.1/download/setup64.exe"
#define URL_32 "http://127.0.0.1/download/setup32.exe"
#define URL_PDF "http://127.0.0.1/download/vl6manual.pdf"
#define URL_V7 "http://127.0.0.1/v7/"
#define HEADER "velora launcher manifest 6\r\n"
#define LINE_64 "64bit 6.0.1.2 " MD5_A " " URL_64
#define LINE_32 "32bit 6.0.1.2 " MD5_B " " URL_32
#define LINE_MANUAL "both manual " MD5_M " " URL_PDF
#define WIDE(text) L"" text

// Bytes of a literal, NUL bytes included.
template <size_t N>
std::string bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

enum which_system { on_64bit, on_32bit, on_both };

struct table_case {
  const char* name;
  std::string body;
  which_system system;
  manifest_values expected;
};

manifest_values nothing() { return {}; }

manifest_values installer(const std::wstring& md5, const std::wstring& url) {
  manifest_values v;
  v.result = true;
  v.latest_md5 = md5;
  v.latest_url = url;
  return v;
}

manifest_values newer(const std::wstring& version, const std::wstring& url) {
  manifest_values v;
  v.result = true;
  v.new_major_released = true;
  v.new_major_version = version;
  v.new_major_url = url;
  return v;
}

manifest_values with_manual(manifest_values v, const std::wstring& md5, const std::wstring& url) {
  v.latest_manual_md5 = md5;
  v.latest_manual_url = url;
  return v;
}

const manifest_values k64 = installer(WIDE(MD5_A), WIDE(URL_64));
const manifest_values k32 = installer(WIDE(MD5_B), WIDE(URL_32));

// "http://例え.テスト/ダウンロード/表示.exe" in code page 932 and as wide text;
// the second byte of 表 (0x95 0x5C) is a backslash.
const char kJapaneseUrl[] =
    "http://\x97\xe1\x82\xa6.\x83\x65\x83\x58\x83\x67/\x83\x5f\x83\x45\x83\x93\x83\x8d\x81\x5b"
    "\x83\x68/\x95\x5c\x8e\xa6.exe";
const wchar_t kJapaneseUrlWide[] =
    L"http://\u4f8b\u3048.\u30c6\u30b9\u30c8/\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9/\u8868\u793a.exe";
// "第7.0.0.0版" and "ｾｯﾄｱｯﾌﾟ" (half-width katakana).
const char kJapaneseVersion[] = "\x91\xe6" "7.0.0.0\x94\xc5";
const char kHalfWidth[] = "\xbe\xaf\xc4\xb1\xaf\xcc\xdf";
const wchar_t kHalfWidthWide[] = L"\uff7e\uff6f\uff84\uff71\uff6f\uff8c\uff9f";

std::vector<table_case> table() {
  const std::string full_crlf = HEADER LINE_64 "\r\n" LINE_32 "\r\n";
  std::vector<table_case> cases = {
      {"Empty", "", on_both, nothing()},
      {"HeaderOnly", HEADER, on_both, nothing()},
      {"BlankLinesOnly", "\r\n\r\n\n\n\r\r\r\n", on_both, nothing()},
      {"InstallerLineFirstIsTheHeader", LINE_64 "\r\n" LINE_32 "\r\n", on_64bit, nothing()},
      {"InstallerLineFirstIsTheHeader32", LINE_32 "\r\n" LINE_64 "\r\n", on_32bit, nothing()},
      {"CrLf64", full_crlf, on_64bit, k64},
      {"CrLf32", full_crlf, on_32bit, k32},
      {"Lf64", HEADER LINE_64 "\n" LINE_32 "\n", on_64bit, k64},
      {"Lf32", HEADER LINE_64 "\n" LINE_32 "\n", on_32bit, k32},
      {"LoneCr64", "velora launcher manifest 6\r" LINE_64 "\r" LINE_32 "\r", on_64bit, k64},
      {"LoneCr32", "velora launcher manifest 6\r" LINE_64 "\r" LINE_32, on_32bit, k32},
      {"BlankLinesAreNotTheHeader", "\r\n\n\r\n" HEADER "\r\n\r\n\n" LINE_64 "\r\n\r\n", on_64bit, k64},
      {"LineOfSpacesIsTheHeader", "   \r\n" LINE_64 "\r\n", on_64bit, k64},
      {"SeveralSpaces", HEADER "  64bit    6.0.1.2 " MD5_A "      " URL_64 "   \r\n", on_64bit, k64},
      {"TabBetweenFieldsJoinsThem", HEADER "64bit\t6.0.1.2 " MD5_A " " URL_64 "\r\n", on_64bit,
       nothing()},
      {"TabBeforeTheUrl", HEADER "64bit 6.0.1.2 " MD5_A "\t" URL_64 "\r\n", on_64bit, nothing()},
      {"TabStaysInTheUrl", HEADER "64bit 6.0.1.2 " MD5_A " " URL_64 "\t\r\n", on_64bit,
       installer(WIDE(MD5_A), WIDE(URL_64) L"\t")},
      {"BOTH", HEADER "BOTH 6.0.1.2 " MD5_A " " URL_64 "\r\n", on_both, k64},
      {"Both", HEADER "Both 6.0.1.2 " MD5_A " " URL_64 "\r\n", on_both, k64},
      {"both", HEADER "both 6.0.1.2 " MD5_A " " URL_64 "\r\n", on_both, k64},
      {"UpperCaseArchitecture", HEADER "64BIT 6.0.1.2 " MD5_A " " URL_64 "\r\n", on_64bit, k64},
      {"Only32bitOn64", HEADER LINE_32 "\r\n", on_64bit, nothing()},
      {"Only32bitOn32", HEADER LINE_32 "\r\n", on_32bit, k32},
      {"Only64bitOn32", HEADER LINE_64 "\r\n", on_32bit, nothing()},
      {"ThreeFieldInstallerLine", HEADER "64bit 6.0.1.2 " MD5_A "\r\n", on_64bit, nothing()},
      {"ThreeFieldLineLeavesTheEarlierOne",
       HEADER LINE_64 "\r\nboth 6.9.9.9 " MD5_M "\r\n", on_64bit, k64},
      {"BothThen64bit64", HEADER "both 6.0.1.2 " MD5_B " " URL_32 "\r\n" LINE_64 "\r\n", on_64bit, k64},
      {"BothThen64bit32", HEADER "both 6.0.1.2 " MD5_B " " URL_32 "\r\n" LINE_64 "\r\n", on_32bit, k32},
      {"NewerGenerationWithTwoFields", HEADER "both 7.0.0.0\r\n", on_both, newer(L"7.0.0.0", L"")},
      {"NewerGenerationThirdFieldUnused", HEADER "both 8.1.0.0 ignored " URL_V7 "\r\n", on_both,
       newer(L"8.1.0.0", WIDE(URL_V7))},
      {"NewerGenerationAndInstaller", HEADER "both 7.0.0.0 - " URL_V7 "\r\n" LINE_64 "\r\n", on_64bit,
       [] {
         manifest_values v = newer(L"7.0.0.0", WIDE(URL_V7));
         v.latest_md5 = WIDE(MD5_A);
         v.latest_url = WIDE(URL_64);
         return v;
       }()},
      {"ManualLineAlone", HEADER LINE_MANUAL "\r\n", on_both,
       [] {
         manifest_values v = with_manual(nothing(), WIDE(MD5_M), WIDE(URL_PDF));
         v.result = false;
         return v;
       }()},
      {"ManualInCapitals", HEADER "both MANUAL " MD5_M " " URL_PDF "\r\n" LINE_64 "\r\n", on_64bit,
       with_manual(k64, WIDE(MD5_M), WIDE(URL_PDF))},
      {"BetaVersionIsAnInstaller", HEADER "64bit release-6.1.0.12-beta " MD5_A " " URL_64 "\r\n",
       on_64bit, k64},
      {"ThreeNumbersAreNoVersion", HEADER "64bit 6.1.0 " MD5_A " " URL_64 "\r\n", on_64bit, nothing()},
      {"FiveIsNeitherKind", HEADER "64bit 5.9.9.9 " MD5_A " " URL_64 "\r\n", on_64bit, nothing()},
      {"LeftmostVersionCounts", HEADER "64bit 1.6.1.0.0 " MD5_A " " URL_64 "\r\n", on_64bit, nothing()},
      {"HugeFirstNumberIsNewer", HEADER "both 99999999999.0.0.1 - " URL_V7 "\r\n", on_both,
       newer(L"99999999999.0.0.1", WIDE(URL_V7))},
      {"FirstNumberDoesNotWrapToSix", HEADER "both 4294967302.0.0.0 - " URL_V7 "\r\n", on_both,
       newer(L"4294967302.0.0.0", WIDE(URL_V7))},
      {"LeadingZero", HEADER "64bit 06.1.0.0 " MD5_A " " URL_64 "\r\n", on_64bit, k64},
      {"UpperCaseMd5KeptAsWritten",
       HEADER "64bit 6.0.1.2 0123456789ABCDEF0123456789ABCDEF " URL_64 "\r\n", on_64bit,
       installer(L"0123456789ABCDEF0123456789ABCDEF", WIDE(URL_64))},
      {"FieldsBehindTheFourthIgnored", HEADER LINE_64 " extra " URL_32 " more\r\n", on_64bit, k64},
      {"ShiftJisUrl", std::string(HEADER "64bit 6.0.1.2 " MD5_A " ") + kJapaneseUrl + "\r\n", on_64bit,
       installer(WIDE(MD5_A), kJapaneseUrlWide)},
      {"ShiftJisNewerGeneration",
       std::string(HEADER "both ") + kJapaneseVersion + " - " + kJapaneseUrl + "\r\n", on_both,
       newer(L"7.0.0.0", kJapaneseUrlWide)},
      {"ShiftJisManual", std::string(HEADER "both manual ") + kHalfWidth + " " + kJapaneseUrl + "\r\n",
       on_both,
       [] {
         manifest_values v = with_manual(nothing(), kHalfWidthWide, kJapaneseUrlWide);
         v.result = false;
         return v;
       }()},
      {"FullWidthSpaceIsNoSeparator",
       HEADER "64bit\x81\x40" "6.0.1.2 " MD5_A " " URL_64 "\r\n", on_64bit, nothing()},
      {"NulOnly", bytes("\0\0\0\0\0\0\0\0"), on_both, nothing()},
      {"NulEndsAStoredText", bytes(HEADER "64bit 6.0.1.2 " MD5_A " " URL_64 "\0hidden\r\n"), on_64bit,
       k64},
      {"NulIsNoSeparator", bytes(HEADER "64bit\0" "6.0.1.2 " MD5_A " " URL_64 "\r\n"), on_64bit,
       nothing()},
      {"NulIsNoLineEnd", bytes("velora launcher manifest 6\0" LINE_64 "\r\n"), on_64bit, nothing()},
      {"NulInTheHeader", bytes("velora\0launcher\r\n" LINE_64 "\r\n"), on_64bit, k64},
  };
  return cases;
}

class ManifestTable : public ::testing::TestWithParam<table_case> {};

TEST_P(ManifestTable, TakesWhatTheFormatSays) {
  const table_case& c = GetParam();
  for (const bool system_is_64bit : {true, false}) {
    if (c.system == on_64bit && !system_is_64bit) continue;
    if (c.system == on_32bit && system_is_64bit) continue;
    EXPECT_EQ(differences(c.expected, parse(c.body, system_is_64bit)), "")
        << (system_is_64bit ? "64-bit" : "32-bit") << " system";
  }
}

INSTANTIATE_TEST_SUITE_P(Edges, ManifestTable, ::testing::ValuesIn(table()),
                         [](const ::testing::TestParamInfo<table_case>& info) {
                           return std::string(info.param.name);
                         });

// A server may answer with anything, of any size: a line of millions of
// fields is read only as far as its four fields go (reading them all needs
// more memory than a 32-bit process has).
TEST(ManifestSize, ALineOfMillionsOfFieldsReadsLikeItsFirstFour) {
  std::string body = HEADER LINE_64;
  body.reserve(64u << 20);
  while (body.size() < (64u << 20)) body += " x";
  body += "\r\n";
  EXPECT_EQ(differences(k64, parse(body, true)), "");
}

TEST(ManifestCodePage, TestsRunWithTheJapaneseAnsiCodePage) {
  // The Shift_JIS rows above read as Japanese only in code page 932.
  EXPECT_EQ(::GetACP(), 932u);
}

// ----- the corpus ------------------------------------------------------------

std::wstring utf8_to_wide(const std::string& text) { return ansi_to_wide(CP_UTF8, text); }

// The expected values of one system from its JSON object; a text is the
// conversion of its bytes in the manifest, and where the JSON gives it as
// text as well, it must read as that too.
manifest_values expected_from(const boost::property_tree::ptree& node, const std::string& body,
                              std::string& text_mismatch) {
  manifest_values v;
  v.result = node.get<bool>("result");
  v.new_major_released = node.get<bool>("new_major_released");
  for (size_t i = 0; i < kTextCount; ++i) {
    const boost::property_tree::ptree& entry = node.get_child(kTextNames[i]);
    const size_t offset = entry.get<size_t>("offset");
    const size_t length = entry.get<size_t>("length");
    v.*kTexts[i] = ansi_to_wide(CP_ACP, body.substr(offset, length));
    if (const auto text = entry.get_optional<std::string>("text")) {
      const std::string mismatch = difference(utf8_to_wide(*text), v.*kTexts[i]);
      if (!mismatch.empty()) text_mismatch += std::string(kTextNames[i]) + " as text: " + mismatch + "\n";
    }
  }
  return v;
}

std::vector<std::wstring> corpus_names(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  afx_find_handle search(::FindFirstFileW((folder + L"*.expected.json").c_str(), &found));
  if (!search.IsValid()) return names;
  do {
    std::wstring name = found.cFileName;
    names.push_back(name.substr(0, name.size() - std::wstring(L".expected.json").size()));
  } while (::FindNextFileW(search.Get(), &found));
  return names;
}

// The small hand-made cases are kept in the repository; the large and random
// ones are made by the same generator for each run.
class ManifestCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(ManifestCorpus, EveryHostileManifestReadsAsTheFormatSays) {
  const std::wstring folder = path_from_environment(GetParam()) + L"\\";
  const std::vector<std::wstring> names = corpus_names(folder);
  ASSERT_FALSE(names.empty()) << "no corpus in " << wide_to_ansi(folder);
  for (const std::wstring& name : names) {
    const std::string body = read_file(folder + name + L".lt");
    std::istringstream json(read_file(folder + name + L".expected.json"));
    boost::property_tree::ptree expected;
    boost::property_tree::read_json(json, expected);
    for (const bool system_is_64bit : {true, false}) {
      std::string text_mismatch;
      const manifest_values want =
          expected_from(expected.get_child(system_is_64bit ? "64bit" : "32bit"), body, text_mismatch);
      EXPECT_EQ(text_mismatch, "") << wide_to_ansi(name);
      EXPECT_EQ(differences_signed_or_not(want, body, system_is_64bit), "")
          << wide_to_ansi(name) << " on a " << (system_is_64bit ? "64" : "32") << "-bit system ("
          << expected.get<std::string>("about") << ")";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(KeptAndMade, ManifestCorpus,
                         ::testing::Values("VELORA_MANIFEST_CORPUS", "VELORA_MANIFEST_CORPUS_MADE"));

// ----- the generated run -------------------------------------------------------

// Reads the generator's file (see tests/manifest_random.py).
class case_reader {
public:
  explicit case_reader(std::string data) : data_(std::move(data)) {}
  bool good() const { return good_; }
  bool at_end() const { return at_ == data_.size(); }
  uint32_t number() {
    if (!take(4)) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data_.data() + at_ - 4);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  bool flag() { return take(1) && data_[at_ - 1] != 0; }
  std::string text() {
    const uint32_t length = number();
    if (!take(length)) return "";
    return data_.substr(at_ - length, length);
  }

private:
  bool take(size_t count) {
    if (!good_ || data_.size() - at_ < count) {
      good_ = false;
      return false;
    }
    at_ += count;
    return true;
  }
  std::string data_;
  size_t at_ = 0;
  bool good_ = true;
};

std::string hex_head(const std::string& body) {
  std::string out;
  char pair[4];
  for (size_t i = 0; i < body.size() && i < 160; ++i) {
    std::snprintf(pair, sizeof(pair), "%02x", static_cast<unsigned char>(body[i]));
    out += pair;
  }
  return out;
}

TEST(ManifestRandom, GeneratedManifestsReadAsTheFormatSays) {
  const std::string file = read_file(path_from_environment("VELORA_MANIFEST_RANDOM_CASES"));
  ASSERT_GE(file.size(), 8u) << "no generated manifests";
  ASSERT_EQ(file.substr(0, 4), "VLMR");
  case_reader cases(file.substr(4));
  const uint32_t count = cases.number();
  uint32_t failed = 0;
  for (uint32_t i = 0; i < count && cases.good(); ++i) {
    const std::string body = cases.text();
    for (const bool system_is_64bit : {true, false}) {
      manifest_values want;
      want.result = cases.flag();
      want.new_major_released = cases.flag();
      for (size_t t = 0; t < kTextCount; ++t) want.*kTexts[t] = ansi_to_wide(CP_ACP, cases.text());
      const std::string wrong = differences_signed_or_not(want, body, system_is_64bit);
      if (!wrong.empty() && ++failed <= 10) {
        ADD_FAILURE() << "manifest " << i << " on a " << (system_is_64bit ? "64" : "32")
                      << "-bit system: " << wrong << "bytes: " << hex_head(body);
      }
    }
  }
  EXPECT_TRUE(cases.good() && cases.at_end()) << "the file of generated manifests is damaged";
  EXPECT_EQ(failed, 0u) << "of " << count << " manifests";
}

}  // namespace
