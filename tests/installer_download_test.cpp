// Downloading an installer into the cache and verifying it, against the local
// update server: what reaches the destination, what never does, and what is
// left behind, with and without a good installer already in place.
#include "support/md5.h"
#include "support/system_log.h"
#include "support/text_utils.h"
#include "tests/support/local_update_server.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"
#include "update/http_client.h"
#include "update/installer_downloader.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

namespace server = local_update_server;

namespace {

const char kServedPath[] = "/download/dl-setup64.exe";
const char kServedPathInCapitals[] = "/Download/DL-Setup64.EXE";
const wchar_t kCacheFolders[] = L"cache\\vlr6setup\\deep\\";
const wchar_t kInstallerName[] = L"setup64.exe";
const wchar_t kTemporarySuffix[] = L".tmp";
constexpr size_t kServedSize = 300 * 1024;  // the newest installer's size

// Bytes that differ from any other call's: no two files here share a digest.
std::string file_bytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned x = seed;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return bytes;
}

std::wstring md5_text(const std::string& bytes) {
  return ansi_to_wide(CP_ACP, md5_text_of(bytes.data(), bytes.size()));
}

std::wstring upper(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towupper(c); });
  return text;
}

bool is_folder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Names in a folder, "." and ".." left out.
std::vector<std::wstring> entries(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

class InstallerDownload : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(server::port("http").empty()) << "the update server is not running";
    server::set_rules("{}");
    server::publish(kServedPath, served_);
    server::clear_record();
  }
  void TearDown() override { server::set_rules("{}"); }

  size_t origin_requests() const { return server::requests("http").size(); }

  const std::string served_ = file_bytes(kServedSize, 1);        // the newest installer
  const std::string good_installer_ = file_bytes(200 * 1024, 2);  // an older one, already cached
};

// ----- the table ---------------------------------------------------------------

enum class url_kind { served, in_capitals, empty, not_a_url, with_line_break };
enum class md5_kind { right, right_in_capitals, other };
enum class before_kind { clean, stale_tmp, tmp_is_a_folder, file_where_a_folder_goes };

// What the last log line of a case begins with (after the line head).
const char kMoved[] = "MoveFileEx(";
const char kMismatch[] = "error: lt hash ";
const char kResult[] = "get_data_by_wininet ret ";
const char kNameTaken[] = "error: ";
const char kNothingLogged[] = "";
// The result line of a body refused for its size.
const char kTooLarge[] = "get_data_by_wininet ret 223 res 200.";
static_assert(ERROR_FILE_TOO_LARGE == 223, "kTooLarge names ERROR_FILE_TOO_LARGE");
// An installer limit small enough for a quick test, and a length announced
// one byte past the build's own limit.
constexpr size_t kSmallLimit = 64 * 1024;
#define PAST_THE_INSTALLER_LIMIT "268435457"
static_assert(kInstallerSizeLimit + 1 == 268435457, "PAST_THE_INSTALLER_LIMIT is one byte past the limit");

struct download_case {
  const char* name;
  const char* rules;  // control.json for the served path ("{}": serve it as it is)
  url_kind url;
  md5_kind md5;
  before_kind before;
  bool succeeds;
  size_t requests;    // seen by the server
  const char* last_log;
  size_t size_limit = kInstallerSizeLimit;
};

const download_case kCases[] = {
    {"Verified", "{}", url_kind::served, md5_kind::right, before_kind::clean, true, 1, kMoved},
    {"Md5InCapitals", "{}", url_kind::served, md5_kind::right_in_capitals, before_kind::clean, true, 1,
     kMoved},
    {"UrlInCapitalsIsAskedInLowerCase", "{}", url_kind::in_capitals, md5_kind::right, before_kind::clean,
     true, 1, kMoved},
    {"StaleTmpIsRewritten", "{}", url_kind::served, md5_kind::right, before_kind::stale_tmp, true, 1,
     kMoved},
    {"DigestMismatch", "{}", url_kind::served, md5_kind::other, before_kind::clean, false, 1, kMismatch},
    {"DigestMismatchAfterStaleTmp", "{}", url_kind::served, md5_kind::other, before_kind::stale_tmp,
     false, 1, kMismatch},
    {"BodyCutMidStream", R"({"rules": {"/download/dl-setup64.exe": {"cut_after": 150000}}})",
     url_kind::served, md5_kind::right, before_kind::clean, false, 1, kMismatch},
    {"EmptyBody", R"({"rules": {"/download/dl-setup64.exe": {"empty_body": true}}})", url_kind::served,
     md5_kind::right, before_kind::clean, false, 1, kResult},
    {"NotFound", R"({"rules": {"/download/dl-setup64.exe": {"status": 404}}})", url_kind::served,
     md5_kind::right, before_kind::clean, false, 1, kResult},
    {"PartialContent", R"({"rules": {"/download/dl-setup64.exe": {"status": 206, "partial": 300000}}})",
     url_kind::served, md5_kind::right, before_kind::clean, false, 1, kResult},
    {"ServerError", R"({"rules": {"/download/dl-setup64.exe": {"status": 500}}})", url_kind::served,
     md5_kind::right, before_kind::clean, false, 1, kResult},
    {"RedirectedTwice", R"({"rules": {"/download/dl-setup64.exe": {"redirect_chain": 2}}})",
     url_kind::served, md5_kind::right, before_kind::clean, true, 3, kMoved},
    {"RedirectLoop",
     R"({"rules": {"/download/dl-setup64.exe": {"redirect": "/download/dl-setup64.exe"}}})",
     url_kind::served, md5_kind::right, before_kind::clean, false, kMaxRedirects + 1, kResult},
    {"EmptyUrl", "{}", url_kind::empty, md5_kind::right, before_kind::clean, false, 0, kResult},
    {"NotAUrl", "{}", url_kind::not_a_url, md5_kind::right, before_kind::clean, false, 0, kResult},
    // A manifest's URL cannot write the request's own lines.
    {"UrlWithALineBreak", "{}", url_kind::with_line_break, md5_kind::right, before_kind::clean, false, 0,
     kResult},
    {"TmpCannotBeOpened", "{}", url_kind::served, md5_kind::right, before_kind::tmp_is_a_folder, false, 1,
     kNameTaken},
    {"FolderCannotBeMade", "{}", url_kind::served, md5_kind::right,
     before_kind::file_where_a_folder_goes, false, 0, kNothingLogged},
    // Past the limit nothing is written: a body too large for the process to
    // hold is no download, whatever its digest.
    {"AnnouncedPastTheBuildsLimit",
     R"({"rules": {"/download/dl-setup64.exe": {"content_length": )" PAST_THE_INSTALLER_LIMIT "}}}",
     url_kind::served, md5_kind::right, before_kind::clean, false, 1, kTooLarge},
    {"AnnouncedPastTheLimit", "{}", url_kind::served, md5_kind::right, before_kind::clean, false, 1, kTooLarge,
     kSmallLimit},
    {"PastTheLimitWithoutALength",
     R"({"rules": {"/download/dl-setup64.exe": {"content_length": "omit"}}})", url_kind::served,
     md5_kind::right, before_kind::clean, false, 1, kTooLarge, kSmallLimit},
    {"PastTheLimitBehindAShortLength",
     R"({"rules": {"/download/dl-setup64.exe": {"content_length": 1000}}})", url_kind::served,
     md5_kind::right, before_kind::clean, false, 1, kTooLarge, kSmallLimit},
    {"PastTheLimitInChunks", R"({"rules": {"/download/dl-setup64.exe": {"chunked": 4096}}})",
     url_kind::served, md5_kind::right, before_kind::clean, false, 1, kTooLarge, kSmallLimit},
    {"AtTheLimit", "{}", url_kind::served, md5_kind::right, before_kind::clean, true, 1, kMoved, kServedSize},
    {"AtTheLimitInChunks", R"({"rules": {"/download/dl-setup64.exe": {"chunked": 4096}}})",
     url_kind::served, md5_kind::right, before_kind::clean, true, 1, kMoved, kServedSize},
};

// The message of the last line of a log, or empty without one.
std::string last_message(const std::string& log) {
  if (log.size() < 2) return "";
  const size_t start = log.rfind("\r\n", log.size() - 3);
  const std::string line = log.substr(start == std::string::npos ? 0 : start + 2);
  const size_t tab = line.find("\tLauncher\t");
  return tab == std::string::npos ? line : line.substr(tab + 10);
}

// Each case runs with an empty cache (its folders missing) and with a good
// installer already in the cache; a failure must leave that one as it was.
// The log's last line tells which step ended the download.
TEST_F(InstallerDownload, Table) {
  log_switch_files switches(true, true);
  for (const download_case& c : kCases) {
    for (const bool installer_in_place : {false, true}) {
      if (installer_in_place && c.before == before_kind::file_where_a_folder_goes) continue;
      SCOPED_TRACE(std::string(c.name) + (installer_in_place ? ", installer in place" : ", empty cache"));
      server::set_rules(c.rules);
      server::clear_record();
      temp_folder root(L"download");
      ASSERT_TRUE(g_system_log.init(root.path().c_str()));
      const std::wstring folder = root.path() + kCacheFolders;
      const std::wstring destination = folder + kInstallerName;
      const std::wstring temporary = destination + kTemporarySuffix;

      if (installer_in_place) {
        ASSERT_TRUE(CInstallerDownloader::CreateDirectoryTree(destination));
        write_file(destination, good_installer_);
      }
      switch (c.before) {
        case before_kind::stale_tmp:
          CInstallerDownloader::CreateDirectoryTree(destination);
          write_file(temporary, file_bytes(400 * 1024, 3));
          break;
        case before_kind::tmp_is_a_folder:
          CInstallerDownloader::CreateDirectoryTree(destination);
          ASSERT_TRUE(::CreateDirectoryW(temporary.c_str(), nullptr));
          break;
        case before_kind::file_where_a_folder_goes:
          write_file(root.path() + L"cache", "not a folder");
          break;
        case before_kind::clean:
          break;
      }

      std::string url = server::origin() + kServedPath;
      if (c.url == url_kind::in_capitals) url = server::origin() + kServedPathInCapitals;
      if (c.url == url_kind::empty) url.clear();
      if (c.url == url_kind::not_a_url) url = "not a url";
      if (c.url == url_kind::with_line_break) url += "\r\nX-Injected: yes";
      std::wstring md5 = md5_text(served_);
      if (c.md5 == md5_kind::right_in_capitals) md5 = upper(md5);
      if (c.md5 == md5_kind::other) md5 = md5_text(good_installer_);

      CInstallerDownloader downloader{std::wstring()};
      EXPECT_EQ(downloader.DownloadFile(nullptr, ansi_to_wide(CP_ACP, url), destination, md5, c.size_limit),
                c.succeeds);

      if (c.succeeds) {
        EXPECT_EQ(read_file(destination), served_) << "the destination holds the download";
      } else if (installer_in_place) {
        EXPECT_EQ(read_file(destination), good_installer_) << "the installer in place is untouched";
      } else {
        EXPECT_FALSE(file_exists(destination)) << "no file reached the destination";
      }
      if (c.before == before_kind::tmp_is_a_folder) {
        EXPECT_TRUE(is_folder(temporary));
      } else {
        EXPECT_FALSE(file_exists(temporary)) << "no temporary file is left";
      }
      if (c.before == before_kind::file_where_a_folder_goes) {
        EXPECT_EQ(read_file(root.path() + L"cache"), "not a folder");
      } else {
        EXPECT_TRUE(is_folder(folder)) << "the cache folder exists";
        if (!c.succeeds && !installer_in_place && c.before == before_kind::clean) {
          EXPECT_TRUE(entries(folder).empty()) << "a failed download creates no file";
        }
      }

      const std::vector<recorded_request> seen = server::requests("http");
      ASSERT_EQ(seen.size(), c.requests);
      if (!seen.empty()) {
        EXPECT_EQ(seen[0].target, kServedPath) << "asked in lower case";
      }
      const std::string log = read_file(root.path() + L"system.log");
      EXPECT_EQ(last_message(log).find(c.last_log), 0u) << log;
      if (c.last_log == kNothingLogged) {
        EXPECT_EQ(log, "") << "nothing is logged";
      }
    }
  }
}

// ----- network text in the log --------------------------------------------------

std::vector<std::string> lines_of(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(bytes.substr(start, end - start));
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

// What the manifest or the server chose reaches the log with its control
// characters as "?": none of it can add a column (tab) or a line (CR, LF) of
// its own, or reach a terminal that shows the log (ESC, DEL).
TEST_F(InstallerDownload, NetworkTextIsLoggedWithoutControlCharacters) {
  const std::string installer = server::origin() + kServedPath;
  const std::string md5 = wide_to_ansi(md5_text(served_));
  const struct {
    const char* what;
    std::string rules;
    std::string url;
    std::string md5;
    std::string logged;  // a part of the log
  } cases[] = {
      {"the installer's URL", "{}", installer + "\t\r\nforged\x7f", md5,
       "\tLauncher\tget_data_by_wininet DownloadFile " + installer + "???forged? "},
      {"the manifest's MD5 text", "{}", installer, md5 + "\tLauncher\r\nforged\x1b[2J",
       "\tLauncher\terror: lt hash " + md5 + "?Launcher??forged?[2J file hash " + md5 + ".\r\n"},
      {"a redirect's location",
       R"({"rules": {"/download/dl-setup64.exe": {"redirect": "ftp://evil.example/\t\u001b[2J\u007f"}}})",
       installer, md5, "\tLauncher\tRedirect to ftp://evil.example/??[2J? not followed\r\n"},
  };
  log_switch_files switches(true, true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    server::set_rules(c.rules);
    temp_folder root(L"download-log-text");
    ASSERT_TRUE(g_system_log.init(root.path().c_str()));
    CInstallerDownloader downloader{std::wstring()};
    downloader.DownloadFile(nullptr, ansi_to_wide(CP_ACP, c.url), root.path() + kInstallerName,
                            ansi_to_wide(CP_ACP, c.md5));

    const std::string log = read_file(root.path() + L"system.log");
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    for (const std::string& line : lines_of(log)) {
      EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 4) << "the line's own columns only: " << line;
      EXPECT_TRUE(std::all_of(line.begin(), line.end(),
                              [](char ch) { return ch == '\t' || (ch != '\x7f' && static_cast<unsigned char>(ch) >= 0x20); }))
          << line;
    }
  }
}

// ----- the destination in use ------------------------------------------------

std::wstring holder_program() { return path_from_environment("VELORA_FILE_HOLDER"); }

TEST_F(InstallerDownload, DestinationInUseKeepsTheTmpAndLogsTheMove) {
  temp_folder root(L"download-held");
  temp_folder log_folder(L"download-log");
  const std::wstring destination = root.path() + kInstallerName;
  const std::wstring temporary = destination + kTemporarySuffix;
  write_file(destination, good_installer_);

  const std::wstring ready = root.path() + L"holder-ready";
  test_process holder(holder_program(), L"\"" + destination + L"\" \"" + ready + L"\"");
  for (int i = 0; i < 200 && !file_exists(ready) && holder.running(); ++i) ::Sleep(25);
  ASSERT_TRUE(file_exists(ready)) << "the holder has the installer open";

  bool result = true;
  {
    log_switch_files switches(true, false);
    ASSERT_TRUE(g_system_log.init(log_folder.path().c_str()));
    CInstallerDownloader downloader{std::wstring()};
    result = downloader.DownloadFile(nullptr, ansi_to_wide(CP_ACP, server::origin() + kServedPath),
                                     destination, md5_text(served_));
  }
  holder.kill();

  EXPECT_FALSE(result);
  EXPECT_EQ(read_file(destination), good_installer_);
  EXPECT_EQ(read_file(temporary), served_) << "the verified download waits in the .tmp";

  const std::string log = read_file(log_folder.path() + L"system.log");
  const std::string md5 = wide_to_ansi(md5_text(served_));
  // Replacing a file that another program holds is refused; Wine says so with
  // ERROR_ACCESS_DENIED, as Windows does for a destination in use.
  const std::string move_line = "LogLv:20/5\tLauncher\tMoveFileEx(" + wide_to_ansi(temporary) + " -> " +
                                wide_to_ansi(destination) + ") ret 0 err " +
                                std::to_string(ERROR_ACCESS_DENIED) + ".\r\n";
  EXPECT_NE(log.find("LogLv:20/10\tLauncher\tget_data_by_wininet ret 0 res 200.\r\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("LogLv:20/20\tLauncher\tget_data_by_wininet lt hash " + md5 + " file hash " + md5 +
                     ".\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(move_line), std::string::npos) << log;
}

// ----- a full disk -----------------------------------------------------------

// The cache folder's file system fills up under the download (a tmpfs of
// 256 KiB, mounted by the test run where it may mount): the failed write is
// logged as such, not as a digest that differs, and nothing is left behind
// or replaced.
TEST_F(InstallerDownload, FullDiskIsLoggedAsAFailedWrite) {
  const std::wstring folder = path_from_environment("VELORA_FULL_DISK_FOLDER");
  ASSERT_FALSE(folder.empty());
  const std::wstring destination = folder + kInstallerName;
  const std::wstring temporary = destination + kTemporarySuffix;
  ::DeleteFileW(temporary.c_str());
  ULARGE_INTEGER free_bytes{};
  ASSERT_TRUE(::GetDiskFreeSpaceExW(folder.c_str(), &free_bytes, nullptr, nullptr));
  if (free_bytes.QuadPart > 1024 * 1024) GTEST_SKIP() << "no small file system could be mounted for the cache";
  write_file(destination, good_installer_);
  temp_folder log_folder(L"download-full");

  bool result = true;
  {
    log_switch_files switches(true, true);
    ASSERT_TRUE(g_system_log.init(log_folder.path().c_str()));
    CInstallerDownloader downloader{std::wstring()};
    result = downloader.DownloadFile(nullptr, ansi_to_wide(CP_ACP, server::origin() + kServedPath),
                                     destination, md5_text(served_));
  }

  EXPECT_FALSE(result);
  EXPECT_EQ(read_file(destination), good_installer_) << "the installer in place is untouched";
  EXPECT_FALSE(file_exists(temporary)) << "the .tmp is deleted";
  const std::string log = read_file(log_folder.path() + L"system.log");
  EXPECT_NE(log.find("/5\tLauncher\terror: write of " + wide_to_ansi(temporary) + " failed: error "),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("lt hash"), std::string::npos) << "no digest is taken of a file not written";
}

// ----- the cache folder --------------------------------------------------------

TEST(CreateDirectoryTree, MakesWhatIsMissingAndNoMore) {
  temp_folder root(L"tree");
  EXPECT_TRUE(CInstallerDownloader::CreateDirectoryTree(root.path() + L"setup64.exe"));
  EXPECT_TRUE(entries(root.path()).empty()) << "an existing folder is left as it is";

  EXPECT_TRUE(CInstallerDownloader::CreateDirectoryTree(root.path() + L"a\\b\\c\\d\\setup64.exe"));
  EXPECT_TRUE(is_folder(root.path() + L"a\\b\\c\\d"));
  EXPECT_FALSE(file_exists(root.path() + L"a\\b\\c\\d\\setup64.exe"));
  EXPECT_TRUE(CInstallerDownloader::CreateDirectoryTree(root.path() + L"a\\b\\c\\d\\setup64.exe"))
      << "a second time: it exists";
  EXPECT_TRUE(CInstallerDownloader::CreateDirectoryTree(root.path() + L"a/b/e/setup64.exe"))
      << "slashes name the same folders";
  EXPECT_TRUE(is_folder(root.path() + L"a\\b\\e"));

  EXPECT_FALSE(CInstallerDownloader::CreateDirectoryTree(L"setup64.exe")) << "no folder at all";
  write_file(root.path() + L"file", "");
  EXPECT_FALSE(CInstallerDownloader::CreateDirectoryTree(root.path() + L"file\\x\\setup64.exe"));
  EXPECT_FALSE(is_folder(root.path() + L"file\\x"));
}

}  // namespace
