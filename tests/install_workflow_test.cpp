// The install workflow's decisions, run without a window against the local
// update server, the stand-in installer and real folders: which installer
// runs, which messages show, what is downloaded, kept or deleted.
#include "launcher/install_workflow.h"
#include "res/resource.h"
#include "support/system_log.h"
#include "support/text_utils.h"
#include "support/windows_facts.h"
#include "tests/support/recording_window.h"
#include "tests/support/message_numbers.h"
#include "tests/support/test_process.h"
#include "tests/support/web_address_cases.h"
#include "tests/support/workflow_bench.h"
#include "velora_endpoints.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using build = workflow_bench::installer_build;

const std::wstring kLogOption = L" /L*v \".\\instlog.txt\"";
const char kNewerGenerationLine[] = "both 7.0.0.1 - http://www.camberly.co.jp/velora7/\r\n";
const wchar_t kNewerGenerationPage[] = L"http://www.camberly.co.jp/velora7/";

enum class at_hand {
  nothing, beside_older, beside_newer, cached_older, cached_newer,
  beside_unsigned, cached_unsigned  // the older build before it was signed
};
enum class manifest {
  newest, newest_upper_case, missing, generation_only, with_generation, wrong_md5,
  cut_in_md5, cut_in_url,  // the connection closes inside the installer line
  another_publishers,      // names a build signed by another publisher, with its MD5
  names_unsigned           // names the unsigned build, with its MD5
};
enum class started { nothing, beside, cache };
enum class cache_after { absent, older, newer };

struct install_case {
  const char* name;
  at_hand local;
  manifest served;
  const char* download_rule;  // JSON rule for the installer's download, or null
  std::vector<int> answers;   // to the message boxes, in order
  std::vector<UINT> boxes;
  started runs;
  bool with_log_option;
  int downloads;              // requests for the installer
  cache_after cache;
};

std::ostream& operator<<(std::ostream& out, const install_case& c) { return out << c.name; }

// Each box showed the buttons and icon its message has.
void expect_box_styles(const recording_window& window) {
  const std::vector<UINT> boxes = window.boxes();
  const std::vector<UINT> styles = window.styles();
  ASSERT_EQ(boxes.size(), styles.size());
  for (size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_EQ(styles[i], message_numbers::box_style(boxes[i])) << "box " << boxes[i];
  }
}

class InstallWorkflowBase : public ::testing::Test {
protected:
  void prepare(const install_case& c) {
    switch (c.local) {
      case at_hand::nothing: break;
      case at_hand::beside_older: bench_.put_beside(build::older); break;
      case at_hand::beside_newer: bench_.put_beside(build::newer); break;
      case at_hand::cached_older: bench_.put_cached(build::older); break;
      case at_hand::cached_newer: bench_.put_cached(build::newer); break;
      case at_hand::beside_unsigned: bench_.put_beside(build::unsigned_older); break;
      case at_hand::cached_unsigned: bench_.put_cached(build::unsigned_older); break;
    }
    std::string text = bench_.manifest_for_newer();
    std::string manifest_rule;
    switch (c.served) {
      case manifest::newest: break;
      case manifest::newest_upper_case: {
        const std::string md5 = bench_.md5_of(build::newer);
        std::string upper = md5;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        text.replace(text.find(md5), md5.size(), upper);
        break;
      }
      case manifest::missing: text.clear(); break;
      case manifest::another_publishers: text = bench_.manifest_for(build::foreign); break;
      case manifest::names_unsigned: text = bench_.manifest_for(build::unsigned_older); break;
      case manifest::generation_only: text = std::string("header\r\n") + kNewerGenerationLine; break;
      case manifest::with_generation: text += kNewerGenerationLine; break;
      case manifest::wrong_md5: {
        const std::string md5 = bench_.md5_of(build::newer);
        text.replace(text.find(md5), md5.size(), std::string(32, 'f'));
        break;
      }
      case manifest::cut_in_md5:
      case manifest::cut_in_url: {
        const size_t cut = c.served == manifest::cut_in_md5 ? text.find(bench_.md5_of(build::newer)) + 8
                                                              : text.find("/download/") + 6;
        manifest_rule = "\"/launcher/installer6.lt\": {\"cut_after\": " + std::to_string(cut) + "}";
        break;
      }
    }
    if (!text.empty()) bench_.serve_manifest(text);
    std::string rules = manifest_rule;
    if (c.download_rule) {
      const std::wstring wide_name = workflow_bench::installer_name();
      const std::string path = "/download/" + std::string(wide_name.begin(), wide_name.end());
      rules += (rules.empty() ? "\"" : ", \"") + path + "\": " + c.download_rule;
    }
    if (!rules.empty()) workflow_bench::rules("{" + rules + "}");
  }

  void run(std::initializer_list<int> answers = {}) {
    window_.answer(answers);
    install_run run{window_, data_, workflow_bench::update_server(), {options_, publisher_}, stop_};
    run_install_workflow(run);
  }

  static int downloads() {
    const std::wstring wide_name = workflow_bench::installer_name();
    return workflow_bench::requests_for("/download/" + std::string(wide_name.begin(), wide_name.end()));
  }

  workflow_bench bench_;
  recording_window window_;
  CDataControl data_;
  std::wstring options_;
  const std::wstring publisher_ = VELORA_PUBLISHER;
  stop_flag stop_{0};
};

class InstallWorkflow : public InstallWorkflowBase, public ::testing::WithParamInterface<install_case> {};
class InstallWorkflowRun : public InstallWorkflowBase {};

TEST_P(InstallWorkflow, Outcome) {
  const install_case& c = GetParam();
  prepare(c);
  window_.answer({});
  for (int answer : c.answers) window_.answer({answer});
  {
    install_run run{window_, data_, workflow_bench::update_server(), {options_, publisher_}, stop_};
    run_install_workflow(run);
  }

  EXPECT_EQ(window_.boxes(), c.boxes);
  expect_box_styles(window_);
  const auto starts = bench_.starts();
  if (c.runs == started::nothing) {
    EXPECT_TRUE(starts.empty());
  } else {
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].path, c.runs == started::beside ? bench_.beside_installer() : bench_.cached_installer());
    const std::wstring& line = starts[0].command_line;
    EXPECT_EQ(line.find(kLogOption) != std::wstring::npos, c.with_log_option) << line;
  }
  EXPECT_EQ(downloads(), c.downloads);
  switch (c.cache) {
    case cache_after::absent: EXPECT_FALSE(file_exists(bench_.cached_installer())); break;
    case cache_after::older: EXPECT_EQ(read_file(bench_.cached_installer()), bench_.bytes_of(build::older)); break;
    case cache_after::newer: EXPECT_EQ(read_file(bench_.cached_installer()), bench_.bytes_of(build::newer)); break;
  }
  EXPECT_FALSE(file_exists(bench_.cached_installer() + L".tmp"));

  // Every way out leaves the window as it found it.
  const auto calls = window_.calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls.front(), L"cursor wait");
  EXPECT_EQ(calls[1], L"install off");
  EXPECT_EQ(calls[2], L"wait " + std::to_wstring(IDS_CHECKING_LATEST_INSTALLER));
  EXPECT_EQ(calls[calls.size() - 3], L"wait hidden");
  EXPECT_EQ(calls[calls.size() - 2], L"install on");
  EXPECT_EQ(calls.back(), L"cursor arrow");
  EXPECT_FALSE(data_.HoldsInstaller());
}

const char kCut[] = "{\"cut_after\": 4096}";
const char kNotFound[] = "{\"status\": 404}";
const char kServerError[] = "{\"status\": 500}";
const char kEmpty[] = "{\"empty_body\": true}";
const char kHtmlPage[] = "{\"body\": \"<html><body>maintenance</body></html>\", \"content_type\": \"text/html\"}";
const char kSlow[] = "{\"delay_headers\": 2, \"trickle_bytes\": 65536, \"trickle_interval\": 0.05}";

using namespace message_numbers;

// After the manifest was read: the installer at hand runs when it is the
// newest; otherwise the newest is downloaded, verified and run.
INSTANTIATE_TEST_SUITE_P(Decision, InstallWorkflow, ::testing::Values(
    install_case{"NothingAtHandDownloads", at_hand::nothing, manifest::newest, nullptr, {}, {},
                 started::cache, true, 1, cache_after::newer},
    install_case{"BesideAndNewestRunsWithoutLog", at_hand::beside_newer, manifest::newest, nullptr, {}, {},
                 started::beside, false, 0, cache_after::absent},
    install_case{"CachedAndNewestInOtherCaseRunsWithoutDownload", at_hand::cached_newer,
                 manifest::newest_upper_case, nullptr, {}, {}, started::cache, true, 0, cache_after::newer},
    install_case{"BesideButOlderDownloads", at_hand::beside_older, manifest::newest, nullptr, {}, {},
                 started::cache, true, 1, cache_after::newer},
    install_case{"CachedButOlderIsReplaced", at_hand::cached_older, manifest::newest, nullptr, {}, {},
                 started::cache, true, 1, cache_after::newer},
    install_case{"GenerationOnlyRunsBesideWithoutComparing", at_hand::beside_older,
                 manifest::generation_only, nullptr, {IDNO, IDYES}, {k106, k107}, started::beside, false,
                 0, cache_after::absent},
    install_case{"GenerationOnlyAndNothingAtHandFails", at_hand::nothing, manifest::generation_only,
                 nullptr, {IDNO, IDYES}, {k106, k107, k105}, started::nothing, false, 0,
                 cache_after::absent}),
    [](const auto& info) { return std::string(info.param.name); });

// A newer product generation: Yes opens its page and installs nothing.
INSTANTIATE_TEST_SUITE_P(NewerGeneration, InstallWorkflow, ::testing::Values(
    install_case{"YesOpensItsPage", at_hand::beside_older, manifest::with_generation, nullptr, {IDYES},
                 {k106}, started::nothing, false, 0, cache_after::absent},
    install_case{"NoThenNoInstallsNothing", at_hand::beside_older, manifest::with_generation, nullptr,
                 {IDNO, IDNO}, {k106, k107}, started::nothing, false, 0, cache_after::absent},
    install_case{"NoThenYesGoesOn", at_hand::beside_older, manifest::with_generation, nullptr,
                 {IDNO, IDYES}, {k106, k107}, started::cache, true, 1, cache_after::newer}),
    [](const auto& info) { return std::string(info.param.name); });

// The manifest cannot be had.
INSTANTIATE_TEST_SUITE_P(NoManifest, InstallWorkflow, ::testing::Values(
    install_case{"NothingAtHand", at_hand::nothing, manifest::missing, nullptr, {}, {k105},
                 started::nothing, false, 0, cache_after::absent},
    install_case{"BesideYesRunsIt", at_hand::beside_older, manifest::missing, nullptr, {IDYES}, {k104},
                 started::beside, false, 0, cache_after::absent},
    install_case{"BesideNoDoesNothing", at_hand::beside_older, manifest::missing, nullptr, {IDNO},
                 {k104}, started::nothing, false, 0, cache_after::absent},
    install_case{"CachedIsDeleted", at_hand::cached_older, manifest::missing, nullptr, {}, {k115},
                 started::nothing, false, 0, cache_after::absent},
    // A manifest cut short reads as a short body: cut inside the installer's
    // digest the line is incomplete and no manifest was had; cut inside its
    // URL the line names a URL that does not exist, and the download fails.
    install_case{"CachedAndManifestCutInTheDigest", at_hand::cached_older, manifest::cut_in_md5, nullptr,
                 {}, {k115}, started::nothing, false, 0, cache_after::absent},
    install_case{"CachedAndManifestCutInTheUrlIsKept", at_hand::cached_older, manifest::cut_in_url,
                 nullptr, {}, {k105}, started::nothing, false, 0, cache_after::older}),
    [](const auto& info) { return std::string(info.param.name); });

// The download fails or brings the wrong bytes: a good installer is kept.
INSTANTIATE_TEST_SUITE_P(DownloadFails, InstallWorkflow, ::testing::Values(
    install_case{"NothingAtHandCut", at_hand::nothing, manifest::newest, kCut, {}, {k105},
                 started::nothing, false, 1, cache_after::absent},
    install_case{"BesideCutYesRunsIt", at_hand::beside_older, manifest::newest, kCut, {IDYES}, {k104},
                 started::beside, false, 1, cache_after::absent},
    install_case{"CachedNotFound", at_hand::cached_older, manifest::newest, kNotFound, {}, {k105},
                 started::nothing, false, 1, cache_after::older},
    install_case{"CachedServerError", at_hand::cached_older, manifest::newest, kServerError, {}, {k105},
                 started::nothing, false, 1, cache_after::older},
    install_case{"CachedEmptyBody", at_hand::cached_older, manifest::newest, kEmpty, {}, {k105},
                 started::nothing, false, 1, cache_after::older},
    install_case{"CachedHtmlPage", at_hand::cached_older, manifest::newest, kHtmlPage, {}, {k105},
                 started::nothing, false, 1, cache_after::older},
    install_case{"CachedCut", at_hand::cached_older, manifest::newest, kCut, {}, {k105},
                 started::nothing, false, 1, cache_after::older},
    install_case{"CachedWrongDigest", at_hand::cached_older, manifest::wrong_md5, nullptr, {}, {k105},
                 started::nothing, false, 1, cache_after::older},
    install_case{"SlowButWhole", at_hand::cached_older, manifest::newest, kSlow, {}, {},
                 started::cache, true, 1, cache_after::newer}),
    [](const auto& info) { return std::string(info.param.name); });

// Only installers signed by the build's publisher start. A download signed by
// another publisher is treated as one with the wrong digest: deleted before
// it can take the cached installer's place, then the fall-back. An installer
// at hand without the signature never starts; a cached one is deleted.
INSTANTIATE_TEST_SUITE_P(Publisher, InstallWorkflow, ::testing::Values(
    install_case{"CachedKeptWhenTheDownloadIsAnotherPublishers", at_hand::cached_older,
                 manifest::another_publishers, nullptr, {}, {k105}, started::nothing, false, 1,
                 cache_after::older},
    install_case{"BesideRunsAfterAnotherPublishersDownload", at_hand::beside_older,
                 manifest::another_publishers, nullptr, {IDYES}, {k104}, started::beside, false, 1,
                 cache_after::absent},
    install_case{"NothingAtHandAndAnotherPublishersDownload", at_hand::nothing,
                 manifest::another_publishers, nullptr, {}, {k105}, started::nothing, false, 1,
                 cache_after::absent},
    install_case{"UnsignedCachedMatchIsRefusedAndDeleted", at_hand::cached_unsigned,
                 manifest::names_unsigned, nullptr, {}, {k116}, started::nothing, false, 0,
                 cache_after::absent},
    install_case{"UnsignedBesideMatchIsRefused", at_hand::beside_unsigned, manifest::names_unsigned,
                 nullptr, {}, {k116}, started::nothing, false, 0, cache_after::absent},
    install_case{"UnsignedBesideRefusedAfterYes", at_hand::beside_unsigned, manifest::missing, nullptr,
                 {IDYES}, {k104, k116}, started::nothing, false, 0, cache_after::absent}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallWorkflowRun, DownloadShowsBothTextsAndLogsItsMilestonesInOrder) {
  const std::wstring log = launcher_directory() + L"system.log";
  ::DeleteFileW(log.c_str());
  {
    log_switch_files switches(true, true);
    ASSERT_TRUE(g_system_log.init(launcher_directory().c_str()));
  }
  bench_.serve_manifest(bench_.manifest_for_newer());
  run();

  const auto calls = window_.calls();
  const auto at = [&](const std::wstring& call) { return std::find(calls.begin(), calls.end(), call) - calls.begin(); };
  EXPECT_LT(at(L"wait " + std::to_wstring(IDS_CHECKING_LATEST_INSTALLER)),
            at(L"wait " + std::to_wstring(IDS_DOWNLOADING_LATEST_INSTALLER)));
  EXPECT_LT(at(L"wait " + std::to_wstring(IDS_DOWNLOADING_LATEST_INSTALLER)), static_cast<long>(calls.size()));

  const std::string text = read_file(log);
  const size_t begin = text.find("begin installer download");
  const size_t check = text.find("begin hash check");
  const size_t end = text.find("end download installer.");
  EXPECT_NE(begin, std::string::npos) << text;
  EXPECT_LT(begin, check) << text;
  EXPECT_LT(check, end) << text;
  // The publisher check runs once, on the download before its move; the file
  // moved into place (held throughout) takes that verdict over.
  const size_t accepted = text.find("signature accepted: ");
  const size_t taken_over = text.find("signature taken over: ");
  EXPECT_LT(accepted, check) << text;
  EXPECT_NE(text.find(".tmp signer ", accepted), std::string::npos) << text;
  EXPECT_EQ(text.find("signature accepted: ", accepted + 1), std::string::npos) << text;
  EXPECT_LT(check, taken_over) << text;
  EXPECT_LT(taken_over, end) << text;

  // The two requests' own lines, exactly, in the log's code page (the
  // destination as the expanded "%temp%\vlr6setup\..." gives it).
  const std::wstring wide_name = workflow_bench::installer_name();
  const std::string installer_url = workflow_bench::url("/download/" + std::string(wide_name.begin(), wide_name.end()));
  const std::string manifest_line = "LogLv:30/30\tLauncher\tget_data_by_wininet DownloadLtFile\r\n";
  const std::string download_line = "LogLv:30/30\tLauncher\t" +
      wide_to_ansi(L"get_data_by_wininet DownloadFile " + ansi_to_wide(CP_ACP, installer_url) + L" \u21D2 " +
                   data_.installer_info.download_path) + "\r\n";
  const size_t manifest_request = text.find(manifest_line);
  EXPECT_NE(manifest_request, std::string::npos) << text;
  EXPECT_LT(manifest_request, begin) << text;
  EXPECT_LT(begin, text.find(download_line)) << text;
  EXPECT_LT(text.find(download_line), check) << text;
  EXPECT_EQ(bench_.starts().size(), 1u);
  g_system_log.init(launcher_directory().c_str());  // off again: no switch file now
  ::DeleteFileW(log.c_str());
}

TEST_F(InstallWorkflowRun, CheckBoxAndOptionsReachTheInstaller) {
  bench_.put_beside(build::newer);
  bench_.serve_manifest(bench_.manifest_for_newer());
  window_.checked = true;
  options_ = L"/qn";
  run();
  const auto starts = bench_.starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_NE(starts[0].command_line.find(L" SETUP_EASY_INSTALL=0 /qn\""), std::wstring::npos)
      << starts[0].command_line;
}

TEST_F(InstallWorkflowRun, NewerGenerationBoxShowsItsVersionAndOpensItsPage) {
  bench_.serve_manifest(bench_.manifest_for_newer(kNewerGenerationLine));
  run({IDYES});
  EXPECT_EQ(window_.last_insert, L"7.0.0.1");
  EXPECT_EQ(window_.opened(), std::vector<std::wstring>{kNewerGenerationPage});
  EXPECT_EQ(window_.shows(), std::vector<int>{SW_SHOWNORMAL});
}

// The manifest chooses what a newer generation's "Yes" opens: only a web
// page, never a program, a share or another scheme's handler. The box shows
// whatever the address; after Yes a refused address opens nothing, installs
// nothing and is logged.
TEST_F(InstallWorkflowRun, NewerGenerationOpensOnlyWebPages) {
  const std::vector<web_address_case> cases = manifest_address_cases("velora8/", "evil.exe");
  const std::wstring log = launcher_directory() + L"system.log";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    ::DeleteFileW(log.c_str());
    {
      log_switch_files switches(true, false);
      ASSERT_TRUE(g_system_log.init(launcher_directory().c_str()));
    }
    bench_.put_beside(build::older);
    bench_.serve_manifest(bench_.manifest_for_newer(std::string("both 8.0.0.0 - ") + c.url + "\r\n"));
    recording_window window;
    window.answer({IDYES});
    install_run run{window, data_, workflow_bench::update_server(), {options_, publisher_}, stop_};
    run_install_workflow(run);

    const std::wstring url = ansi_to_wide(CP_ACP, c.url);
    EXPECT_EQ(window.boxes(), std::vector<UINT>{message_numbers::k106});
    EXPECT_EQ(window.last_insert, L"8.0.0.0");
    EXPECT_EQ(window.opened(), c.opens ? std::vector<std::wstring>{url} : std::vector<std::wstring>{});
    EXPECT_TRUE(bench_.starts().empty());
    EXPECT_EQ(downloads(), 0);
    const std::string refusal = "LogLv:20/5\tLauncher\trefused to open " + std::string(c.url) +
                                ": not a web address.\r\n";
    EXPECT_EQ(read_file(log).find(refusal) != std::string::npos, !c.opens) << read_file(log);
  }
  g_system_log.init(launcher_directory().c_str());  // off again: no switch file now
  ::DeleteFileW(log.c_str());
}

// Message 106 names the version alone, whatever the manifest wrote around it.
TEST_F(InstallWorkflowRun, NewerGenerationBoxShowsTheBareVersion) {
  const struct {
    const char* kind;
    const wchar_t* shown;
  } cases[] = {
      {"7.0.0.1", L"7.0.0.1"},
      {"\x91\xe6" "8.0.0.0\x94\xc5", L"8.0.0.0"},  // "第8.0.0.0版" in code page 932
      {"v9.1.2.3-beta\tcall-us-at-0120-000-000", L"9.1.2.3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    bench_.serve_manifest(bench_.manifest_for_newer(std::string("both ") + c.kind + " - " +
                                                    wide_to_ansi(kNewerGenerationPage) + "\r\n"));
    recording_window window;
    window.answer({IDYES});
    install_run run{window, data_, workflow_bench::update_server(), {options_, publisher_}, stop_};
    run_install_workflow(run);
    EXPECT_EQ(window.boxes(), std::vector<UINT>{message_numbers::k106});
    EXPECT_EQ(window.last_insert, c.shown);
  }
}

TEST_F(InstallWorkflowRun, StopRequestEndsTheRunBeforeAnyStep) {
  bench_.put_beside(build::newer);
  bench_.serve_manifest(bench_.manifest_for_newer());
  stop_ = 1;
  run();
  EXPECT_TRUE(bench_.starts().empty());
  EXPECT_EQ(workflow_bench::requests_for("/launcher/installer6.lt"), 0);
  EXPECT_EQ(window_.calls().back(), L"cursor arrow");
}

// The dialog going away raises the stop flag at any moment; the run ends at
// its next check, starting nothing and asking nothing. A stop that left the
// inventory's step undone is no failed download: nothing falls back.
enum class raise_stop {
  at_first_wait_text,       // before the search for the installer at hand
  at_manifest_request,      // while the manifest is fetched
  at_download_wait_text,    // before the download
  at_download_request,      // while the installer is fetched
  at_download_end           // after the download, before the start
};

struct stop_case {
  const char* name;
  raise_stop when;
  int manifest_requests;
  int downloads;
  cache_after cache;
};

std::ostream& operator<<(std::ostream& out, const stop_case& c) { return out << c.name; }

class InstallWorkflowStop : public InstallWorkflowBase, public ::testing::WithParamInterface<stop_case> {};

TEST_P(InstallWorkflowStop, EndsAtTheNextCheck) {
  const stop_case& c = GetParam();
  bench_.put_cached(build::older);
  bench_.serve_manifest(bench_.manifest_for_newer());
  int owners = 0;
  bool downloading = false;
  window_.on_owner = [&] {
    ++owners;
    if ((c.when == raise_stop::at_manifest_request && owners == 1) ||
        (c.when == raise_stop::at_download_request && owners == 2)) {
      stop_ = 1;
    }
  };
  window_.on_call = [&](const std::wstring& call) {
    if (call == L"wait " + std::to_wstring(IDS_DOWNLOADING_LATEST_INSTALLER)) downloading = true;
    if ((c.when == raise_stop::at_first_wait_text && call == L"wait " + std::to_wstring(IDS_CHECKING_LATEST_INSTALLER)) ||
        (c.when == raise_stop::at_download_wait_text && downloading) ||
        (c.when == raise_stop::at_download_end && downloading && call == L"wait hidden")) {
      stop_ = 1;
    }
  };
  run();

  EXPECT_TRUE(window_.boxes().empty());
  EXPECT_TRUE(bench_.starts().empty());
  EXPECT_EQ(workflow_bench::requests_for("/launcher/installer6.lt"), c.manifest_requests);
  EXPECT_EQ(downloads(), c.downloads);
  EXPECT_EQ(read_file(bench_.cached_installer()),
            bench_.bytes_of(c.cache == cache_after::newer ? build::newer : build::older));
  const auto calls = window_.calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[calls.size() - 3], L"wait hidden");
  EXPECT_EQ(calls[calls.size() - 2], L"install on");
  EXPECT_EQ(calls.back(), L"cursor arrow");
  EXPECT_FALSE(data_.HoldsInstaller());
}

INSTANTIATE_TEST_SUITE_P(Checks, InstallWorkflowStop, ::testing::Values(
    stop_case{"BeforeTheSearch", raise_stop::at_first_wait_text, 0, 0, cache_after::older},
    stop_case{"DuringTheManifestRequest", raise_stop::at_manifest_request, 1, 0, cache_after::older},
    stop_case{"BeforeTheDownload", raise_stop::at_download_wait_text, 1, 0, cache_after::older},
    // The verified download has replaced the cache; it is not started.
    stop_case{"DuringTheDownload", raise_stop::at_download_request, 1, 1, cache_after::newer},
    stop_case{"BeforeTheStart", raise_stop::at_download_end, 1, 1, cache_after::newer}),
    [](const auto& info) { return std::string(info.param.name); });

// A cached installer whose MD5 text could not be taken (another program has
// it open for writing) never counts as the newest one, not even when no
// manifest could be read to compare it with: it is not started, and the user
// is told that the installer information could not be had.
TEST_F(InstallWorkflowRun, CachedInstallerWithoutAnMd5TextNeverRuns) {
  bench_.put_cached(build::newer);
  temp_folder signals(L"holder");
  const std::wstring ready = signals.path() + L"holder-ready";
  test_process holder(path_from_environment("VELORA_FILE_HOLDER"),
                      L"\"" + bench_.cached_installer() + L"\" \"" + ready + L"\"");
  for (int i = 0; i < 200 && !file_exists(ready) && holder.running(); ++i) ::Sleep(25);
  ASSERT_TRUE(file_exists(ready)) << "the holder has the cached installer open";

  run();
  holder.kill();

  EXPECT_EQ(window_.boxes(), std::vector<UINT>{message_numbers::k115});
  expect_box_styles(window_);
  EXPECT_TRUE(bench_.starts().empty());
  EXPECT_EQ(downloads(), 0);
}

// Between taking an installer's MD5 text and starting it, nobody can change
// the file: writes, renames and deletes by others fail until the start.
TEST_F(InstallWorkflowRun, VerifiedInstallerCannotBeSwappedBeforeItStarts) {
  for (bool cached : {true, false}) {
    SCOPED_TRACE(cached ? "cached installer" : "downloaded installer");
    if (cached) bench_.put_cached(build::newer);
    else ::DeleteFileW(bench_.cached_installer().c_str());
    bench_.serve_manifest(bench_.manifest_for_newer());
    recording_window window;
    std::vector<DWORD> errors;
    window.on_call = [&](const std::wstring& call) {
      if (call != L"wait hidden" || !errors.empty()) return;
      if (!cached && !file_exists(bench_.cached_installer())) return;  // not downloaded yet
      const std::wstring target = bench_.cached_installer();
      HANDLE writer = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
      errors.push_back(writer == INVALID_HANDLE_VALUE ? ::GetLastError() : 0);
      if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
      errors.push_back(::DeleteFileW(target.c_str()) ? 0 : ::GetLastError());
      write_file(target + L".evil", "MZ not the installer");
      errors.push_back(::MoveFileExW((target + L".evil").c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)
                           ? 0 : ::GetLastError());
    };
    install_run run{window, data_, workflow_bench::update_server(), {options_, publisher_}, stop_};
    run_install_workflow(run);

    // Writing and deleting meet the sharing rule; replacing by a move is
    // refused as a sharing violation or, under Wine, as access denied.
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(errors[1], static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(errors[2] == ERROR_SHARING_VIOLATION || errors[2] == ERROR_ACCESS_DENIED) << errors[2];
    EXPECT_EQ(read_file(bench_.cached_installer()), bench_.bytes_of(build::newer));
    ::DeleteFileW((bench_.cached_installer() + L".evil").c_str());
  }
  EXPECT_EQ(bench_.starts().size(), 2u);
}

// A user whose temporary folder has a name outside code page 932.
TEST(InstallWorkflowProfile, FolderOutsideTheCodePageDownloadsVerifiesAndStarts) {
  workflow_bench bench(L"Jos\u00e9-\u00e9 \u0e01");
  bench.serve_manifest(bench.manifest_for_newer());
  recording_window window;
  CDataControl data;
  std::wstring options;
  const std::wstring publisher = VELORA_PUBLISHER;
  stop_flag stop{0};
  install_run run{window, data, workflow_bench::update_server(), {options, publisher}, stop};
  run_install_workflow(run);
  EXPECT_TRUE(window.boxes().empty());
  EXPECT_EQ(read_file(bench.cached_installer()), bench.bytes_of(workflow_bench::newer));
  const auto starts = bench.starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].path, bench.cached_installer());
}

}  // namespace
