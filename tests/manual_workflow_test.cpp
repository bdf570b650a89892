// The guide button's workflow without a window, against the local update
// server: which manual or page opens, and when the user is asked.
#include "launcher/launcher_pages.h"
#include "launcher/manual_workflow.h"
#include "res/resource.h"
#include "support/system_log.h"
#include "support/text_utils.h"
#include "support/windows_facts.h"
#include "tests/support/message_numbers.h"
#include "tests/support/recording_window.h"
#include "tests/support/web_address_cases.h"
#include "tests/support/workflow_bench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kManual[] = "%PDF-1.4\n% Velora manual 6.0.1\n";
const char kOtherManual[] = "%PDF-1.4\n% Velora manual 6.0.2\n";
const char kManualPage[] = "http://www.camberly.co.jp/velora/manual6/";

enum class manual_at_hand { none, same, other };
enum class manifest { same_manual, same_manual_upper_case, other_manual, no_manual_line, missing };
enum class opens { nothing, local_pdf, manual_page, support_page };

struct manual_case {
  const char* name;
  manual_at_hand local;
  manifest served;
  int answer;  // to message 112, when it shows
  bool asks;
  opens result;
};

std::ostream& operator<<(std::ostream& out, const manual_case& c) { return out << c.name; }

class ManualWorkflow : public ::testing::TestWithParam<manual_case> {
protected:
  std::string manifest_text(manifest served) {
    std::string text = bench_.manifest_for_newer();
    std::string md5 = workflow_bench::md5_of_bytes(served == manifest::other_manual ? kOtherManual : kManual);
    if (served == manifest::same_manual_upper_case) std::transform(md5.begin(), md5.end(), md5.begin(), ::toupper);
    switch (served) {
      case manifest::missing: return "";
      case manifest::no_manual_line: return text;
      default: return text + "both manual " + md5 + " " + kManualPage + "\r\n";
    }
  }

  workflow_bench bench_;
  recording_window window_;
  CDataControl data_;
  stop_flag stop_{0};
};

TEST_P(ManualWorkflow, Outcome) {
  const manual_case& c = GetParam();
  if (c.local == manual_at_hand::same) bench_.put_manual(kManual);
  if (c.local == manual_at_hand::other) bench_.put_manual(kOtherManual);
  const std::string text = manifest_text(c.served);
  if (!text.empty()) bench_.serve_manifest(text);
  window_.answer({c.answer});

  manual_run run{window_, data_, workflow_bench::update_server(), stop_};
  run_manual_workflow(run);

  EXPECT_EQ(window_.boxes(), c.asks ? std::vector<UINT>{IDS_LATEST_MANUAL_PAGE} : std::vector<UINT>{});
  std::vector<std::wstring> expected;
  switch (c.result) {
    case opens::nothing: break;
    case opens::local_pdf: expected = {bench_.beside_manual()}; break;
    case opens::manual_page: expected = {std::wstring(kManualPage, kManualPage + std::strlen(kManualPage))}; break;
    case opens::support_page: expected = {kSupportPage}; break;
  }
  EXPECT_EQ(window_.opened(), expected);
  // The manual opens as a document window (SW_SHOW), pages as a new browser
  // window (SW_SHOWNORMAL); message 112 asks Yes or No with information.
  if (!expected.empty()) {
    EXPECT_EQ(window_.shows(), std::vector<int>{c.result == opens::local_pdf ? SW_SHOW : SW_SHOWNORMAL});
  }
  if (c.asks) {
    EXPECT_EQ(window_.styles(), std::vector<UINT>{message_numbers::box_style(IDS_LATEST_MANUAL_PAGE)});
  }
  const auto calls = window_.calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.front(), L"guide off");
  EXPECT_EQ(calls.back(), L"guide on");
}

INSTANTIATE_TEST_SUITE_P(Outcomes, ManualWorkflow, ::testing::Values(
    manual_case{"LocalAndNoManifestOpensAtOnce", manual_at_hand::same, manifest::missing, IDYES, false, opens::local_pdf},
    manual_case{"LocalAndNoManualLineOpensAtOnce", manual_at_hand::same, manifest::no_manual_line, IDYES, false, opens::local_pdf},
    manual_case{"LocalMatchingOpens", manual_at_hand::same, manifest::same_manual, IDYES, false, opens::local_pdf},
    manual_case{"LocalMatchingInUpperCaseOpens", manual_at_hand::same, manifest::same_manual_upper_case, IDYES, false, opens::local_pdf},
    manual_case{"LocalDiffersYesOpensThePage", manual_at_hand::other, manifest::same_manual, IDYES, true, opens::manual_page},
    manual_case{"LocalDiffersNoOpensTheLocalPdf", manual_at_hand::other, manifest::same_manual, IDNO, true, opens::local_pdf},
    manual_case{"NoneYesOpensThePage", manual_at_hand::none, manifest::same_manual, IDYES, true, opens::manual_page},
    manual_case{"NoneAndNoManifestYesOpensSupport", manual_at_hand::none, manifest::missing, IDYES, true, opens::support_page},
    manual_case{"NoneNoDoesNothing", manual_at_hand::none, manifest::missing, IDNO, true, opens::nothing}),
    [](const auto& info) { return std::string(info.param.name); });

// The manifest chooses the manual's page: only a web page opens after Yes to
// message 112. Any other address is refused and logged, and the user gets the
// vendor's support page, as when the manifest names no page: a build setting
// the manifest cannot change, where the newest manual is found too.
TEST(ManualWorkflowPage, OnlyWebPagesOpen) {
  const std::vector<web_address_case> cases = manifest_address_cases("velora/manual6/", "evil.exe");
  const std::wstring log = launcher_directory() + L"system.log";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    ::DeleteFileW(log.c_str());
    {
      log_switch_files switches(true, false);
      ASSERT_TRUE(g_system_log.init(launcher_directory().c_str()));
    }
    workflow_bench bench;
    bench.serve_manifest(bench.manifest_for_newer() + "both manual " + workflow_bench::md5_of_bytes(kManual) +
                         " " + c.url + "\r\n");
    recording_window window;
    CDataControl data;
    stop_flag stop{0};
    window.answer({IDYES});
    manual_run run{window, data, workflow_bench::update_server(), stop};
    run_manual_workflow(run);

    EXPECT_EQ(window.boxes(), std::vector<UINT>{IDS_LATEST_MANUAL_PAGE});
    const std::wstring url = ansi_to_wide(CP_ACP, c.url);
    EXPECT_EQ(window.opened(), std::vector<std::wstring>{c.opens ? url : std::wstring(kSupportPage)});
    const std::string refusal = "LogLv:20/5\tLauncher\trefused to open " + std::string(c.url) +
                                ": not a web address.\r\n";
    EXPECT_EQ(read_file(log).find(refusal) != std::string::npos, !c.opens) << read_file(log);
  }
  g_system_log.init(launcher_directory().c_str());  // off again: no switch file now
  ::DeleteFileW(log.c_str());
}

// The stop flag raised at each of the run's checks: nothing opens and nobody
// is asked.
enum class raise_stop { at_guide_off, at_manifest_request, at_answer_no };

struct manual_stop_case {
  const char* name;
  raise_stop when;
  int manifest_requests;
  std::vector<UINT> boxes;
};

std::ostream& operator<<(std::ostream& out, const manual_stop_case& c) { return out << c.name; }

class ManualWorkflowStopAt : public ::testing::TestWithParam<manual_stop_case> {};

TEST_P(ManualWorkflowStopAt, OpensNothing) {
  const manual_stop_case& c = GetParam();
  workflow_bench bench;
  bench.put_manual(kOtherManual);
  bench.serve_manifest(bench.manifest_for_newer() + "both manual " + workflow_bench::md5_of_bytes(kManual) + " " +
                       kManualPage + "\r\n");
  recording_window window;
  CDataControl data;
  stop_flag stop{0};
  window.answer({IDNO});
  window.on_owner = [&] {
    if (c.when == raise_stop::at_manifest_request) stop = 1;
  };
  window.on_call = [&](const std::wstring& call) {
    if ((c.when == raise_stop::at_guide_off && call == L"guide off") ||
        (c.when == raise_stop::at_answer_no && call == L"box " + std::to_wstring(IDS_LATEST_MANUAL_PAGE))) {
      stop = 1;
    }
  };
  manual_run run{window, data, workflow_bench::update_server(), stop};
  run_manual_workflow(run);

  EXPECT_TRUE(window.opened().empty());
  EXPECT_EQ(window.boxes(), c.boxes);
  EXPECT_EQ(workflow_bench::requests_for("/launcher/installer6.lt"), c.manifest_requests);
  EXPECT_EQ(window.calls().back(), L"guide on");
}

INSTANTIATE_TEST_SUITE_P(Checks, ManualWorkflowStopAt, ::testing::Values(
    manual_stop_case{"BeforeTheSearch", raise_stop::at_guide_off, 0, {}},
    manual_stop_case{"DuringTheManifestRequest", raise_stop::at_manifest_request, 1, {}},
    manual_stop_case{"AfterTheAnswerNo", raise_stop::at_answer_no, 1, {IDS_LATEST_MANUAL_PAGE}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ManualWorkflowStop, StopRequestOpensNothing) {
  workflow_bench bench;
  bench.put_manual(kManual);
  recording_window window;
  CDataControl data;
  stop_flag stop{1};
  manual_run run{window, data, workflow_bench::update_server(), stop};
  run_manual_workflow(run);
  EXPECT_TRUE(window.opened().empty());
  EXPECT_EQ(window.calls(), (std::vector<std::wstring>{L"guide off", L"guide on"}));
}

}  // namespace
