// The launcher itself, end to end: a copy of vl6Launcher.exe in a
// distribution folder of its own, started as a process and used through its
// window as a user would (clicks, the check box, message boxes read and
// answered), against the local update server, the stand-in installer (which
// records how it was started) and the shell recorder (which records what the
// shell opened).
//
// The workflows' decision tables are covered without a window elsewhere;
// these rows show the road through the real window and process.
#include "launcher/launcher_pages.h"
#include "res/resource.h"
#include "tests/support/launcher_driver.h"
#include "tests/support/message_numbers.h"
#include "tests/support/system_proxy.h"
#include "tests/support/shell_associations.h"
#include "tests/support/test_files.h"
#include "tests/support/workflow_bench.h"
#include "velora_endpoints.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using build = workflow_bench::installer_build;

constexpr DWORD kRunTimeoutMs = 30000;     // one workflow run, from click to close
constexpr DWORD kShellTimeoutMs = 10000;   // the shell's program writes its record
constexpr DWORD kAnswerLimitMs = 1000;     // a responsive window answers within this
constexpr DWORD kNoBoxWaitMs = 1500;       // how long a box that must not come is awaited

// Message boxes are titled with the executable's name.
const wchar_t kProgramName[] = L"vl6Launcher";
const std::wstring kLogOption = L" /L*v \".\\instlog.txt\"";
const char kNewerGenerationLine[] = "both 7.0.0.1 - http://www.camberly.co.jp/velora7/\r\n";
const wchar_t kNewerGenerationPage[] = L"http://www.camberly.co.jp/velora7/";
const char kManual[] = "%PDF-1.4\n% Velora manual 6.0.1\n";
const char kOtherManual[] = "%PDF-1.4\n% Velora manual 6.0.2\n";
const char kManualPage[] = "http://www.camberly.co.jp/velora/manual6/";

using namespace message_numbers;

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string narrow(const std::wstring& ascii) {
  std::string text;
  for (wchar_t c : ascii) text += static_cast<char>(c);
  return text;
}

bool ends_with(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool same_path(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

std::vector<UINT> ids_of(const std::vector<launcher_box>& boxes) {
  std::vector<UINT> ids;
  for (const launcher_box& box : boxes) ids.push_back(box.text_id);
  return ids;
}

// An environment variable of this process, and so of the launchers it
// starts, set (or removed, for null) while the object lives.
class environment_override {
public:
  environment_override(const wchar_t* name, const wchar_t* value) : name_(name) {
    wchar_t saved[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, saved, 1024);
    had_value_ = length > 0 && length < 1024;
    saved_ = saved;
    ::SetEnvironmentVariableW(name, value);
  }
  ~environment_override() { ::SetEnvironmentVariableW(name_, had_value_ ? saved_.c_str() : nullptr); }
  environment_override(const environment_override&) = delete;
  environment_override& operator=(const environment_override&) = delete;

private:
  const wchar_t* name_;
  bool had_value_ = false;
  std::wstring saved_;
};

std::string rule_key(const std::string& path) { return "\"" + path + "\": "; }

// The highest manifest serial this user's launcher has accepted (its value
// in HKCU), set while the object lives and put back as it was after.
class stored_manifest_serial {
public:
  explicit stored_manifest_serial(uint64_t serial) {
    DWORD size = sizeof(saved_);
    had_value_ = ::RegGetValueW(HKEY_CURRENT_USER, kLauncherKey, kSerialValue, RRF_RT_QWORD, nullptr, &saved_,
                                &size) == ERROR_SUCCESS;
    write(serial);
  }
  ~stored_manifest_serial() {
    if (had_value_) {
      write(saved_);
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kLauncherKey, kSerialValue);
    }
  }
  stored_manifest_serial(const stored_manifest_serial&) = delete;
  stored_manifest_serial& operator=(const stored_manifest_serial&) = delete;

  uint64_t value() const {
    uint64_t serial = 0;
    DWORD size = sizeof(serial);
    ::RegGetValueW(HKEY_CURRENT_USER, kLauncherKey, kSerialValue, RRF_RT_QWORD, nullptr, &serial, &size);
    return serial;
  }

private:
  static constexpr const wchar_t* kLauncherKey = L"Software\\Velora\\Launcher";
  static constexpr const wchar_t* kSerialValue = L"ManifestSerial";

  static void write(uint64_t serial) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kLauncherKey, kSerialValue, REG_QWORD, &serial, sizeof(serial));
  }

  bool had_value_ = false;
  uint64_t saved_ = 0;
};

// Last release's freshness line: signed in its day, valid for long.
constexpr uint64_t kReplayedSerial = 1000;
const char kReplayedFreshness[] = "freshness 1000 2026-01-01T00:00:00Z 2099-01-01T00:00:00Z";

// What is at hand before the click, what the server serves, and what came of it.
enum class at_hand { nothing, beside_older, beside_newer, cached_older, cached_newer };
enum class started { nothing, beside, cache };
enum class cache_after { absent, older, newer };

class LauncherEndToEnd : public ::testing::Test {
protected:
  static void SetUpTestSuite() { register_shell_recorder(); }

  void put(at_hand local) {
    switch (local) {
      case at_hand::nothing: break;
      case at_hand::beside_older: bench_.put_beside(build::older); break;
      case at_hand::beside_newer: bench_.put_beside(build::newer); break;
      case at_hand::cached_older: bench_.put_cached(build::older); break;
      case at_hand::cached_newer: bench_.put_cached(build::newer); break;
    }
  }

  static std::string download_path() { return "/download/" + narrow(workflow_bench::installer_name()); }
  static int downloads() { return workflow_bench::requests_for(download_path()); }
  static int manifest_requests() { return workflow_bench::requests_for("/launcher/installer6.lt"); }

  // Starts the launcher with `arguments`, clicks Install (unless the command
  // line presses it) and closes it as soon as the workflow lets it.
  void install(const std::wstring& arguments = L"", bool tick = false) {
    ASSERT_TRUE(launcher_.start(arguments));
    if (tick) {
      ASSERT_TRUE(launcher_.click(IDC_CHOOSE_FOLDER));
      ASSERT_TRUE(launcher_.checked(IDC_CHOOSE_FOLDER));
    }
    const bool quiet = arguments.find(L"/q") != std::wstring::npos ||
                       arguments.find(L"-q") != std::wstring::npos;
    if (!quiet) {
      ASSERT_TRUE(launcher_.click(IDOK));
    } else {
      // Close would work until the quiet start's timer presses Install.
      ASSERT_TRUE(poll([&] { return !launcher_.enabled(IDOK) || !bench_.starts().empty(); },
                       kRunTimeoutMs));
    }
    close_launcher();
  }

  void close_launcher() {
    DWORD code = 99;
    ASSERT_TRUE(launcher_.close(kRunTimeoutMs, &code)) << "the launcher did not end";
    EXPECT_EQ(code, 0u);
  }

  // What the stand-in installer recorded: nothing, or one start of the
  // installer `where` whose command line ends in `parameters`.
  void expect_started(started where, const std::wstring& parameters = L"") {
    const auto starts = bench_.starts();
    if (where == started::nothing) {
      EXPECT_TRUE(starts.empty()) << starts.front().command_line;
      return;
    }
    ASSERT_EQ(starts.size(), 1u);
    const std::wstring expected =
        where == started::beside ? bench_.beside_installer() : bench_.cached_installer();
    EXPECT_TRUE(same_path(starts[0].path, expected)) << starts[0].path;
    EXPECT_TRUE(same_path(starts[0].working_folder + L"\\", expected.substr(0, expected.rfind(L'\\') + 1)))
        << starts[0].working_folder;
    EXPECT_TRUE(ends_with(starts[0].command_line, parameters)) << starts[0].command_line;
  }

  void expect_cache(cache_after cache) {
    switch (cache) {
      case cache_after::absent: EXPECT_FALSE(file_exists(bench_.cached_installer())); break;
      case cache_after::older:
        EXPECT_EQ(read_file(bench_.cached_installer()), bench_.bytes_of(build::older));
        break;
      case cache_after::newer:
        EXPECT_EQ(read_file(bench_.cached_installer()), bench_.bytes_of(build::newer));
        break;
    }
    EXPECT_FALSE(file_exists(bench_.cached_installer() + L".tmp"));
  }

  // The boxes `ids`, in order, each as a user sees it: the launcher's own
  // text with the buttons its question needs, titled with the program's
  // name, modal to the launcher window, and without the please-wait window
  // beside it.
  void expect_boxes(const std::vector<UINT>& ids) {
    const auto boxes = launcher_.boxes();
    EXPECT_EQ(ids_of(boxes), ids);
    for (const launcher_box& box : boxes) {
      SCOPED_TRACE(box.text_id);
      EXPECT_NE(box.text_id, 0u) << box.text;
      EXPECT_EQ(box.yes_no, box.text_id == k104 || box.text_id == k106 || box.text_id == k107 ||
                                box.text_id == k112);
      EXPECT_EQ(box.caption, kProgramName);
      EXPECT_EQ(box.owner, launcher_.window());
      EXPECT_FALSE(box.over_wait_window);
    }
  }

  // Exactly these targets were opened by the shell, in order.
  void expect_opened(const std::vector<std::wstring>& targets) {
    std::vector<std::wstring> lines;
    for (const std::wstring& target : targets) lines.push_back(shell_record::line_for(target));
    EXPECT_EQ(shell_.lines_when(lines.size(), lines.empty() ? 0 : kShellTimeoutMs), lines);
  }

  temp_folder distribution_{L"e2e"};
  workflow_bench bench_{L"temp", distribution_.path()};
  launcher_driver launcher_{distribution_.path()};
  shell_record shell_{distribution_.path() + L"shell-record.txt"};
};

// ---------------------------------------------------------------------------
// Install: the decisions and the fall-back, one click each.

// another_publishers: a hostile update server's manifest, naming an installer
// signed by another publisher, with that installer's right MD5;
// incomplete_chain: the same, naming an installer that carries the
// publisher's names from an issuing CA whose certificate exists nowhere;
// replayed_release: last release's manifest, signed by the publisher in its
// day, whose serial is lower than one this user's launcher accepted since
// (for a launcher that reads only signed manifests).
enum class served { newest, newest_upper_case, with_generation, none, another_publishers, incomplete_chain,
                    replayed_release };

struct install_case {
  const char* name;
  at_hand local;
  served manifest;
  const wchar_t* arguments;  // the launcher's command line
  bool tick;                 // the destination check box, ticked before Install
  std::vector<int> answers;  // to the boxes, in order
  std::vector<UINT> boxes;
  started runs;
  std::wstring parameters;   // how the installer's command line ends
  int downloads;
  bool opens_generation_page;
  cache_after cache;
};

std::ostream& operator<<(std::ostream& out, const install_case& c) { return out << c.name; }

class InstallThroughTheWindow : public LauncherEndToEnd,
                                public ::testing::WithParamInterface<install_case> {};

TEST_P(InstallThroughTheWindow, Outcome) {
  const install_case& c = GetParam();
#if !VELORA_SIGNED_MANIFEST
  if (c.manifest == served::replayed_release) GTEST_SKIP() << "this launcher reads manifests unsigned";
#endif
  put(c.local);
  std::string text = c.manifest == served::another_publishers ? bench_.manifest_for(build::foreign)
                     : c.manifest == served::incomplete_chain
                         ? bench_.manifest_for(build::orphan)
                         : bench_.manifest_for_newer(c.manifest == served::with_generation ? kNewerGenerationLine : "");
  if (c.manifest == served::newest_upper_case) {
    const std::string md5 = bench_.md5_of(build::newer);
    std::string upper = md5;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    text.replace(text.find(md5), md5.size(), upper);
  }
  std::unique_ptr<stored_manifest_serial> accepted_before;
  std::unique_ptr<log_switch_files> switches;
  if (c.manifest == served::replayed_release) {
    text += std::string(kReplayedFreshness) + "\r\n";
    accepted_before = std::make_unique<stored_manifest_serial>(kReplayedSerial + 1);
    switches = std::make_unique<log_switch_files>(true, false);
  }
  if (c.manifest != served::none) bench_.serve_manifest(text);
  launcher_.answer(c.answers);

  install(c.arguments, c.tick);

  if (c.manifest == served::replayed_release) {
    const std::string log = read_file(distribution_.path() + L"system.log");
    EXPECT_NE(log.find("/5\tLauncher\tmanifest refused: serial " + std::to_string(kReplayedSerial) + " is lower than " +
                       std::to_string(kReplayedSerial + 1) + ", accepted before."),
              std::string::npos)
        << log;
    EXPECT_EQ(accepted_before->value(), kReplayedSerial + 1) << "a refused manifest raises nothing";
  }

  expect_boxes(c.boxes);
  const auto boxes = launcher_.boxes();
  if (!boxes.empty() && boxes[0].text_id == k106) {
    EXPECT_EQ(boxes[0].insert, L"7.0.0.1");
  }
  expect_started(c.runs, c.parameters);
  EXPECT_EQ(downloads(), c.downloads);
  expect_opened(c.opens_generation_page ? std::vector<std::wstring>{kNewerGenerationPage}
                                        : std::vector<std::wstring>{});
  expect_cache(c.cache);
  if (c.local == at_hand::beside_older) {
    EXPECT_EQ(read_file(bench_.beside_installer()), bench_.bytes_of(build::older));
  }
}

const wchar_t kEasy[] = L" SETUP_AE_CONVERT=1 SETUP_DESKTOP_ICON=1 SETUP_EASY_INSTALL=1\"";
const std::wstring kEasyWithLog =
    L" SETUP_AE_CONVERT=1 SETUP_DESKTOP_ICON=1 SETUP_EASY_INSTALL=1" + kLogOption + L"\"";

INSTANTIATE_TEST_SUITE_P(Rows, InstallThroughTheWindow, ::testing::Values(
    install_case{"NoManifestBesideYesRunsIt", at_hand::beside_older, served::none, L"", false,
                 {IDYES}, {k104}, started::beside, kEasy, 0, false, cache_after::absent},
    install_case{"NoManifestBesideNoRunsNothing", at_hand::beside_older, served::none, L"", false,
                 {IDNO}, {k104}, started::nothing, L"", 0, false, cache_after::absent},
    install_case{"NoManifestNothingAtHand", at_hand::nothing, served::none, L"", false, {}, {k105},
                 started::nothing, L"", 0, false, cache_after::absent},
    install_case{"NoManifestCachedIsDeleted", at_hand::cached_older, served::none, L"", false, {},
                 {k115}, started::nothing, L"", 0, false, cache_after::absent},
    install_case{"NewerGenerationYesOpensItsPage", at_hand::beside_older, served::with_generation, L"",
                 false, {IDYES}, {k106}, started::nothing, L"", 0, true, cache_after::absent},
    install_case{"NewerGenerationNoThenYesGoesOn", at_hand::beside_older, served::with_generation, L"",
                 false, {IDNO, IDYES}, {k106, k107}, started::cache, kEasyWithLog, 1, false,
                 cache_after::newer},
    install_case{"CachedMatchInOtherCaseRunsWithoutDownload", at_hand::cached_newer,
                 served::newest_upper_case, L"", false, {}, {}, started::cache, kEasyWithLog, 0,
                 false, cache_after::newer},
    install_case{"CheckBoxAndPassedOptions", at_hand::beside_newer, served::newest,
                 L"/v\"PROPERTY=1 OTHER=two\"", true, {}, {}, started::beside,
                 L" SETUP_EASY_INSTALL=0 PROPERTY=1 OTHER=two\"", 0, false, cache_after::absent},
    install_case{"QuietStart", at_hand::beside_newer, served::newest, L"/q", false, {}, {},
                 started::beside, L" SETUP_EASY_INSTALL=1 /qn\"", 0, false, cache_after::absent},
    install_case{"QuietStartWithOptions", at_hand::beside_newer, served::newest, L"-q -vPROPERTY=1",
                 false, {}, {}, started::beside, L" SETUP_EASY_INSTALL=1 PROPERTY=1 /qn\"", 0, false,
                 cache_after::absent},
    // Whoever answers for the update server cannot choose what starts: the
    // other publisher's installer is downloaded, refused and deleted.
    install_case{"AnotherPublishersInstallerLeavesTheCacheAlone", at_hand::cached_older,
                 served::another_publishers, L"", false, {}, {k105}, started::nothing, L"", 1, false,
                 cache_after::older},
    install_case{"AnotherPublishersInstallerThenYesRunsTheOneBeside", at_hand::beside_older,
                 served::another_publishers, L"", false, {IDYES}, {k104}, started::beside, kEasy, 1,
                 false, cache_after::absent},
    // Nor can it pass off a look-alike whose chain ends nowhere: refused like
    // any other publisher's, and the good cached installer keeps its bytes.
    install_case{"IncompleteChainInstallerLeavesTheCacheAlone", at_hand::cached_older,
                 served::incomplete_chain, L"", false, {}, {k105}, started::nothing, L"", 1, false,
                 cache_after::older},
    // Nor can it bring back an older release whose manifest the publisher
    // signed in its day: a failed manifest request, so the installer beside
    // the launcher is offered, and without one nothing can be installed.
    install_case{"ReplayedReleaseThenYesRunsTheOneBeside", at_hand::beside_older, served::replayed_release,
                 L"", false, {IDYES}, {k104}, started::beside, kEasy, 0, false, cache_after::absent},
    install_case{"ReplayedReleaseWithNothingAtHand", at_hand::nothing, served::replayed_release, L"", false,
                 {}, {k105}, started::nothing, L"", 0, false, cache_after::absent}),
    [](const auto& info) { return std::string(info.param.name); });

// The quiet start presses Install by itself shortly after the window opens
// (its timer waits 300 ms); close is refused until that run is over, and then
// the launcher ends with 0.
TEST_F(LauncherEndToEnd, QuietStartPressesInstallSoonAndCloseWaitsForItsRun) {
  constexpr ULONGLONG kPressLimitMs = 300 + 2000;
  put(at_hand::beside_newer);
  bench_.serve_manifest(bench_.manifest_for_newer());
  const environment_override keeps_running(L"VELORA_SETUP_BEHAVIOUR", L"run 2000");

  ASSERT_TRUE(launcher_.start(L"/q"));
  const ULONGLONG shown = ::GetTickCount64();
  ASSERT_TRUE(poll([&] { return !launcher_.enabled(IDOK); }, kRunTimeoutMs)) << "Install was not pressed";
  EXPECT_LT(::GetTickCount64() - shown, kPressLimitMs);
  ASSERT_TRUE(poll([&] { return !bench_.starts().empty(); }, kRunTimeoutMs));
  expect_started(started::beside, L" SETUP_EASY_INSTALL=1 /qn\"");

  launcher_.close_window();
  ASSERT_TRUE(poll([&] { return launcher_.enabled(IDOK); }, kRunTimeoutMs));
  EXPECT_TRUE(launcher_.process().running()) << "close is refused while the run lasts";
  close_launcher();
}

// A download from nothing at hand: both texts in the please-wait window, the
// milestones in the log beside the launcher, the download run with its log.
TEST_F(LauncherEndToEnd, DownloadShowsBothTextsAndLogsItsMilestones) {
  log_switch_files switches(true, false);
  bench_.serve_manifest(bench_.manifest_for_newer());
  // Slow enough that each text stays up for a while.
  workflow_bench::rules("{" + rule_key("/launcher/installer6.lt") + "{\"delay_headers\": 0.6}, " +
                        rule_key(download_path()) + "{\"delay_headers\": 0.6}}");
  install();

  EXPECT_EQ(launcher_.wait_texts(), (std::vector<UINT>{k113, k114}));
  expect_boxes({});
  expect_started(started::cache, kEasyWithLog);
  expect_cache(cache_after::newer);

  const std::string log = read_file(distribution_.path() + L"system.log");
  const size_t begin = log.find("begin installer download");
  const size_t check = log.find("begin hash check");
  const size_t end = log.find("end download installer.");
  EXPECT_NE(begin, std::string::npos) << log;
  EXPECT_LT(begin, check) << log;
  EXPECT_LT(check, end) << log;
  EXPECT_NE(end, std::string::npos) << log;
}

// ---------------------------------------------------------------------------
// Network faults of the update server, while the manifest or the installer
// is fetched. An installer beside the launcher is offered (104) and never
// changed; a good cached installer is kept when the download fails (105).

enum class fault { refused, cut, empty, not_found, server_error, slow, html_page };
enum class phase { manifest, download };

struct fault_case {
  const char* name;
  phase when;
  fault what;
};

std::ostream& operator<<(std::ostream& out, const fault_case& c) { return out << c.name; }

class NetworkFaults : public LauncherEndToEnd, public ::testing::WithParamInterface<fault_case> {};

std::string fault_rule(fault what, size_t cut_at) {
  switch (what) {
    case fault::cut: return "{\"cut_after\": " + std::to_string(cut_at) + "}";
    case fault::empty: return "{\"empty_body\": true}";
    case fault::not_found: return "{\"status\": 404}";
    case fault::server_error: return "{\"status\": 500}";
    case fault::slow: return "{\"delay_headers\": 2, \"trickle_bytes\": 32768, \"trickle_interval\": 0.05}";
    case fault::html_page:
      return "{\"body\": \"<html>\\r\\n<body>\\r\\n<p>maintenance</p>\\r\\n</body>\\r\\n</html>\\r\\n\", "
             "\"content_type\": \"text/html\"}";
    case fault::refused: break;
  }
  return "";
}

TEST_P(NetworkFaults, FallBackKeepsTheGoodInstaller) {
  const fault_case& c = GetParam();
  const bool manifest = c.when == phase::manifest;
  put(manifest ? at_hand::beside_older : at_hand::cached_older);
  std::string text = bench_.manifest_for_newer();
  const std::string md5 = bench_.md5_of(build::newer);

  // Under Wine the system's proxy may come from the environment, which the
  // launcher inherits: for the refused manifest it points at a closed port,
  // with no exception for loopback addresses.
  std::vector<std::unique_ptr<environment_override>> proxy;
  if (c.what == fault::refused && manifest) {
    const std::wstring closed = wide("http://127.0.0.1:" + closed_port());
    proxy.push_back(std::make_unique<environment_override>(L"http_proxy", closed.c_str()));
    proxy.push_back(std::make_unique<environment_override>(L"no_proxy", nullptr));
    proxy.push_back(std::make_unique<environment_override>(L"NO_PROXY", nullptr));
  } else if (c.what == fault::refused) {
    const std::string url = workflow_bench::url(download_path());
    const size_t port = url.rfind(':');
    text.replace(text.find(url), url.size(),
                 url.substr(0, port + 1) + closed_port() + download_path());
  } else {
    // A manifest cut inside the installer's MD5 text; an installer cut after 4 KiB.
    const size_t cut_at = manifest ? text.find(md5) + 8 : 4096;
    workflow_bench::rules("{" + rule_key(manifest ? "/launcher/installer6.lt" : download_path()) +
                          fault_rule(c.what, cut_at) + "}");
  }
  bench_.serve_manifest(text);
  launcher_.answer({IDYES});
  install();
  proxy.clear();

  if (c.what == fault::slow) {
    // Slow is not broken: the newest installer is fetched and run.
    expect_boxes({});
    expect_started(started::cache, kEasyWithLog);
    expect_cache(cache_after::newer);
  } else if (manifest) {
    expect_boxes({k104});
    expect_started(started::beside, kEasy);
    expect_cache(cache_after::absent);
  } else {
    expect_boxes({k105});
    expect_started(started::nothing);
    expect_cache(cache_after::older);
  }
  if (manifest) {
    EXPECT_EQ(read_file(bench_.beside_installer()), bench_.bytes_of(build::older));
  }
  EXPECT_EQ(manifest_requests(), c.what == fault::refused && manifest ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, NetworkFaults, ::testing::Values(
    fault_case{"ManifestRefused", phase::manifest, fault::refused},
    fault_case{"ManifestCut", phase::manifest, fault::cut},
    fault_case{"ManifestEmpty", phase::manifest, fault::empty},
    fault_case{"ManifestServerError", phase::manifest, fault::server_error},
    fault_case{"ManifestSlow", phase::manifest, fault::slow},
    fault_case{"ManifestHtmlPage", phase::manifest, fault::html_page},
    fault_case{"DownloadRefused", phase::download, fault::refused},
    fault_case{"DownloadCut", phase::download, fault::cut},
    fault_case{"DownloadNotFound", phase::download, fault::not_found},
    fault_case{"DownloadHtmlPage", phase::download, fault::html_page}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The guide button: every row of its outcome table.

enum class manual_at_hand { none, same, other };
enum class manual_served { same_manual, other_manual, none };
enum class opens { nothing, local_pdf, manual_page, support_page };

struct guide_case {
  const char* name;
  manual_at_hand local;
  manual_served manifest;
  int answer;  // to 112, when it shows
  bool asks;
  opens result;
};

std::ostream& operator<<(std::ostream& out, const guide_case& c) { return out << c.name; }

class GuideThroughTheWindow : public LauncherEndToEnd, public ::testing::WithParamInterface<guide_case> {};

TEST_P(GuideThroughTheWindow, Outcome) {
  const guide_case& c = GetParam();
  if (c.local == manual_at_hand::same) bench_.put_manual(kManual);
  if (c.local == manual_at_hand::other) bench_.put_manual(kOtherManual);
  if (c.manifest != manual_served::none) {
    const char* served_manual = c.manifest == manual_served::same_manual ? kManual : kOtherManual;
    bench_.serve_manifest(bench_.manifest_for_newer("both manual " + workflow_bench::md5_of_bytes(served_manual) +
                                                    " " + kManualPage + "\r\n"));
  }
  launcher_.answer({c.answer});

  ASSERT_TRUE(launcher_.start());
  ASSERT_TRUE(launcher_.click(IDC_GUIDE));
  close_launcher();

  expect_boxes(c.asks ? std::vector<UINT>{k112} : std::vector<UINT>{});
  switch (c.result) {
    case opens::nothing: expect_opened({}); break;
    case opens::local_pdf: expect_opened({bench_.beside_manual()}); break;
    case opens::manual_page: expect_opened({wide(kManualPage)}); break;
    case opens::support_page: expect_opened({kSupportPage}); break;
  }
  expect_started(started::nothing);
}

INSTANTIATE_TEST_SUITE_P(Rows, GuideThroughTheWindow, ::testing::Values(
    guide_case{"LocalAndNoManifestOpensIt", manual_at_hand::same, manual_served::none, IDYES, false,
               opens::local_pdf},
    guide_case{"LocalMatchingOpensIt", manual_at_hand::same, manual_served::same_manual, IDYES, false,
               opens::local_pdf},
    guide_case{"LocalDiffersYesOpensTheManualPage", manual_at_hand::other, manual_served::same_manual,
               IDYES, true, opens::manual_page},
    guide_case{"LocalDiffersNoOpensTheLocalPdf", manual_at_hand::other, manual_served::same_manual,
               IDNO, true, opens::local_pdf},
    guide_case{"NoneYesOpensTheManualPage", manual_at_hand::none, manual_served::same_manual, IDYES,
               true, opens::manual_page},
    guide_case{"NoneAndNoManifestYesOpensTheSupportPage", manual_at_hand::none, manual_served::none,
               IDYES, true, opens::support_page},
    guide_case{"NoneNoOpensNothing", manual_at_hand::none, manual_served::same_manual, IDNO, true,
               opens::nothing}),
    [](const auto& info) { return std::string(info.param.name); });

// The PDF reader button tells of the reader only once its page was opened:
// with nothing to open web addresses the shell fails and no box shows.
TEST_F(LauncherEndToEnd, ReaderButtonShows111OnlyAfterThePageOpened) {
  ASSERT_TRUE(launcher_.start());
  remove_web_associations();
  launcher_.post_click(IDC_READER);
  ::Sleep(kNoBoxWaitMs);
  register_shell_recorder();
  EXPECT_TRUE(launcher_.boxes().empty());
  EXPECT_TRUE(launcher_.answers_within(kAnswerLimitMs));
  EXPECT_TRUE(shell_.lines().empty());

  launcher_.post_click(IDC_READER);
  ASSERT_TRUE(poll([&] { return !launcher_.boxes().empty(); }, kRunTimeoutMs));
  expect_boxes({k111});
  expect_opened({kReaderPage});
  close_launcher();
}

// ---------------------------------------------------------------------------
// Both workflows at once, and a user who keeps clicking.

TEST_F(LauncherEndToEnd, BothWorkflowsRunAtOnceAndCloseWaitsForThem) {
  bench_.put_beside(build::newer);
  bench_.put_manual(kManual);
  bench_.serve_manifest(bench_.manifest_for_newer("both manual " + workflow_bench::md5_of_bytes(kManual) +
                                                  " " + kManualPage + "\r\n"));
  workflow_bench::rules("{" + rule_key("/launcher/installer6.lt") + "{\"delay_headers\": 1.5}}");

  ASSERT_TRUE(launcher_.start());
  ASSERT_TRUE(launcher_.click(IDOK));
  ASSERT_TRUE(launcher_.click(IDC_GUIDE));
  EXPECT_TRUE(poll(
      [&] {
        return !launcher_.enabled(IDOK) && !launcher_.enabled(IDC_CHOOSE_FOLDER) &&
               !launcher_.enabled(IDC_GUIDE);
      },
      1000))
      << "both workflows run";
  ASSERT_TRUE(launcher_.click(IDCANCEL));
  EXPECT_TRUE(launcher_.answers_within(kAnswerLimitMs));
  EXPECT_TRUE(launcher_.process().running()) << "close is refused while they run";
  close_launcher();

  expect_boxes({});
  expect_started(started::beside, kEasy);
  expect_opened({bench_.beside_manual()});
  EXPECT_EQ(manifest_requests(), 2);
}

// 200 rounds of Install, guide and close (its button, Escape, the window's
// close command), clicked quickly while the server is failing and then slow.
// One workflow is kept in a message box all along, so that every close is
// refused; the other is started again and again. The launcher stays alive
// and answers within a second throughout, and closes normally at the end.
TEST_F(LauncherEndToEnd, QuickClicksNeitherHangNorCrash) {
  constexpr int kRounds = 200;
  constexpr DWORD kRoundPauseMs = 40;
  // The manifest is slow and fails; later it is slow and names a manual that
  // is not at hand.
  const std::string failing = "{" + rule_key("/launcher/installer6.lt") +
                              "{\"delay_headers\": 0.2, \"status\": 500}}";
  const std::string slow = "{" + rule_key("/launcher/installer6.lt") + "{\"delay_headers\": 0.2}, " +
                           rule_key(download_path()) + "{\"status\": 404}}";
  bench_.serve_manifest(bench_.manifest_for_newer("both manual " + workflow_bench::md5_of_bytes(kManual) +
                                                  " " + kManualPage + "\r\n"));
  workflow_bench::rules(failing);

  // First the guide's question stays open while Install runs again and
  // again; then Install's failure message stays open while the guide does.
  std::atomic<bool> hold_guide{true};
  std::atomic<bool> hold_install{false};
  launcher_.set_policy([&](const launcher_box& box) {
    if (box.text_id == k112 && hold_guide) return 0;
    if (box.text_id == k105 && hold_install) return 0;
    return box.yes_no ? IDNO : IDOK;
  });

  const ULONGLONG started_at = ::GetTickCount64();
  ASSERT_TRUE(launcher_.start());
  ASSERT_TRUE(launcher_.click(IDC_GUIDE));
  ASSERT_TRUE(poll([&] { return launcher_.open_boxes(k112) == 1; }, kRunTimeoutMs));

  DWORD slowest_ms = 0;
  int unanswered = 0;
  for (int round = 0; round < kRounds; ++round) {
    if (round == kRounds / 2) {
      workflow_bench::rules(slow);
      hold_install = true;
      ASSERT_TRUE(poll(
          [&] {
            launcher_.click(IDOK);
            return launcher_.open_boxes(k105) == 1;
          },
          kRunTimeoutMs));
      hold_guide = false;
    }
    const bool by_mouse = round % 2 == 1;
    for (int id : {IDOK, IDC_GUIDE}) {
      if (by_mouse) launcher_.mouse_click(id);
      else launcher_.click(id);
    }
    // Every way of closing; a posted one is handled by the next round's check.
    switch (round % 4) {
      case 0: launcher_.click(IDCANCEL); break;
      case 1: launcher_.mouse_click(IDCANCEL); break;
      case 2: launcher_.press_escape(); break;
      case 3: launcher_.close_window(); break;
    }
    DWORD took = 0;
    if (!launcher_.answers_within(kAnswerLimitMs, &took)) ++unanswered;
    slowest_ms = std::max(slowest_ms, took);
    ASSERT_TRUE(launcher_.process().running()) << "ended in round " << round;
    ::Sleep(kRoundPauseMs);
  }
  EXPECT_EQ(unanswered, 0);
  EXPECT_LT(slowest_ms, kAnswerLimitMs);

  // Once both have answered, both workflows end and leave the window as
  // they found it.
  hold_install = false;
  EXPECT_TRUE(poll(
      [&] {
        return launcher_.enabled(IDOK) && launcher_.enabled(IDC_CHOOSE_FOLDER) &&
               launcher_.enabled(IDC_GUIDE);
      },
      kRunTimeoutMs));
  EXPECT_FALSE(launcher_.wait_window_visible());
  close_launcher();
  const auto boxes = launcher_.boxes();
  EXPECT_GT(std::count_if(boxes.begin(), boxes.end(), [](const launcher_box& b) { return b.text_id == k105; }), 2);
  EXPECT_GT(std::count_if(boxes.begin(), boxes.end(), [](const launcher_box& b) { return b.text_id == k112; }), 2);
  for (const launcher_box& box : boxes) {
    EXPECT_NE(box.text_id, 0u) << box.text;
    EXPECT_FALSE(box.over_wait_window) << box.text_id;
  }
  expect_started(started::nothing);
  std::printf("quick clicks: %d rounds, %zu boxes, slowest answer %lu ms, %llu ms in all\n", kRounds,
              boxes.size(), static_cast<unsigned long>(slowest_ms),
              static_cast<unsigned long long>(::GetTickCount64() - started_at));
}

}  // namespace
