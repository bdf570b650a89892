// Starting the installer through the real shell under Wine, with the stand-in
// installer that records how it was started; and ShellOpen, checked by the
// recorder registered for PDF files and web addresses in this prefix.
#include "framework/afx_handle.h"
#include "launcher/installer_execution.h"
#include "res/resource.h"
#include "support/md5.h"
#include "tests/support/recording_window.h"
#include "tests/support/setup_records.h"
#include "tests/support/shell_associations.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"
#include "tests/support/unix_links.h"
#include "velora_endpoints.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <string>
#include <vector>

namespace {

const std::wstring kFixed = L" SETUP_AE_CONVERT=1 SETUP_DESKTOP_ICON=1";
const std::wstring kLog = L" /L*v \".\\instlog.txt\"";
const wchar_t kAdminRightsRequired[] = L"管理者権限が必要です。";
constexpr DWORD kWatchMs = 15000;

std::wstring tool(const wchar_t* relative) {
  return path_from_environment("VELORA_BUILD_DIR") + L"\\tools\\" + relative;
}

// What a message box of this process showed, closed with OK by this watcher.
struct shown_box {
  std::wstring caption;
  std::wstring text;
};

// Waits for a message box of this process and presses its OK button.
std::future<std::vector<shown_box>> watch_message_boxes(DWORD watch_ms) {
  return std::async(std::launch::async, [watch_ms] {
    std::vector<shown_box> boxes;
    if (HWND box = wait_for_window(::GetCurrentProcessId(), kDialogBoxClass, watch_ms)) {
      shown_box shown{window_text(box), L""};
      for (HWND label : child_windows(box, L"Static")) shown.text += window_text(label);
      boxes.push_back(shown);
      ::SendMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return boxes;
  });
}

bool ends_with(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class Execution : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = work_.path() + L"vlr6setup\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    installer_ = folder_ + L"setup64.exe";
    ASSERT_TRUE(copy_file(tool(L"setup_standin\\setup64.exe"), installer_));
    record_ = work_.path() + L"record.txt";
    ::SetEnvironmentVariableW(L"VELORA_SETUP_RECORD", record_.c_str());
    behave(L"exit 0");
    window_.show_real_boxes = true;
  }

  static void behave(const wchar_t* behaviour) {
    ::SetEnvironmentVariableW(L"VELORA_SETUP_BEHAVIOUR", behaviour);
  }

  std::vector<start_record> records() const { return parse_records(read_file(record_)); }

  // Runs the local installer as found in `location`, closing any message box.
  std::vector<shown_box> run_local(std::int32_t location, DWORD watch_ms = kWatchMs) {
    info_.location = location;
    info_.installer_path = installer_;
    verified_installer held(installer_);
    auto boxes = watch_message_boxes(watch_ms);
    RunLocalInstaller(info_, held, settings(), window_);
    return boxes.get();
  }

  installer_settings settings() const { return {options_, publisher_}; }

  temp_folder work_{L"execution"};
  installer_info info_;
  std::wstring options_;
  const std::wstring publisher_ = VELORA_PUBLISHER;
  recording_window window_;
  std::wstring folder_;
  std::wstring installer_;
  std::wstring record_;
};

TEST_F(Execution, ParameterText) {
  struct parameter_case {
    bool easy_install;
    bool with_log;
    const wchar_t* options;
    std::wstring expected;
  } cases[] = {
      {true, true, L"", L"/v\"" + kFixed + L" SETUP_EASY_INSTALL=1" + kLog + L"\""},
      {false, true, L"", L"/v\"" + kFixed + L" SETUP_EASY_INSTALL=0" + kLog + L"\""},
      {true, false, L"", L"/v\"" + kFixed + L" SETUP_EASY_INSTALL=1\""},
      {true, true, L"/qn", L"/v\"" + kFixed + L" SETUP_EASY_INSTALL=1" + kLog + L" /qn\""},
      {false, false, L"A=1 /qn", L"/v\"" + kFixed + L" SETUP_EASY_INSTALL=0 A=1 /qn\""},
  };
  for (const auto& c : cases) {
    const std::wstring options = c.options;
    EXPECT_EQ(BuildInstallerParameters(c.easy_install, options, c.with_log), c.expected);
    EXPECT_EQ(BuildInstallerParameters(c.easy_install, options, c.with_log), c.expected)
        << "a second run joins the same";
    EXPECT_EQ(options, c.options);
  }
  // An easy install from the cache ends in two double quotes.
  EXPECT_TRUE(ends_with(BuildInstallerParameters(true, L"", true), L"instlog.txt\"\""));
}

TEST_F(Execution, CachedInstallerStartsInItsOwnFolderWithTheLogOption) {
  EXPECT_TRUE(run_local(installer_info::location_temp_cache, 0).empty());
  const auto started = records();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_TRUE(ends_with(started[0].command_line,
                        L" /v\"" + kFixed + L" SETUP_EASY_INSTALL=1" + kLog + L"\""))
      << started[0].command_line;
  EXPECT_EQ(started[0].working_folder + L"\\", folder_);
  EXPECT_EQ(started[0].path, installer_);
}

TEST_F(Execution, InstallerBesideTheLauncherGetsNoLogAndOptionsPassThrough) {
  options_ = L"PROPERTY=\"a b\" /qn";
  info_.easy_install = false;
  EXPECT_TRUE(run_local(installer_info::location_beside_launcher, 0).empty());
  EXPECT_TRUE(run_local(installer_info::location_beside_launcher, 0).empty());
  const auto started = records();
  ASSERT_EQ(started.size(), 2u);
  const std::wstring expected = L" /v\"" + kFixed + L" SETUP_EASY_INSTALL=0 PROPERTY=\"a b\" /qn\"";
  for (const auto& record : started) {
    EXPECT_TRUE(ends_with(record.command_line, expected)) << record.command_line;
  }
}

TEST_F(Execution, NothingRunsWithoutAFoundInstaller) {
  EXPECT_TRUE(run_local(installer_info::location_none, 0).empty());
  info_.installer_path.clear();
  info_.location = installer_info::location_temp_cache;
  verified_installer none;
  RunLocalInstaller(info_, none, settings(), window_);
  info_.download_path.clear();
  RunDownloadedInstaller(info_, none, settings(), window_);
  EXPECT_TRUE(records().empty());
}

// Between the publisher check and the start nobody can change the installer:
// the check reads the held bytes, and the hold lasts until the start returns.
TEST_F(Execution, HeldInstallerCannotBeSwappedBetweenTheCheckAndTheStart) {
  const std::string verified = read_file(installer_);
  info_.location = installer_info::location_temp_cache;
  info_.installer_path = installer_;
  verified_installer held(installer_);
  ASSERT_TRUE(held.PassesPublisherCheck(publisher_));

  HANDLE writer = ::CreateFileW(installer_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "opened for writing";
  if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
  EXPECT_FALSE(::DeleteFileW(installer_.c_str()));
  const std::wstring impostor = folder_ + L"impostor.exe";
  ASSERT_TRUE(copy_file(tool(L"setup_standin\\unsigned\\setup64.exe"), impostor));
  EXPECT_FALSE(::MoveFileExW(impostor.c_str(), installer_.c_str(), MOVEFILE_REPLACE_EXISTING));

  RunLocalInstaller(info_, held, settings(), window_);
  const auto started = records();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].path, installer_);
  EXPECT_EQ(read_file(installer_), verified);
  EXPECT_TRUE(window_.boxes().empty());
}

// A download's verdict and MD5 text are taken over only by the very file
// they were given to, held since they were taken so that nobody could write
// it; the file may have been moved into place. What is handed over here says
// "trusted" for an unsigned file and gives an MD5 text of no bytes at all,
// so a file that took them over passes with that text, and one that did not
// is refused by its own check and digested anew.
TEST_F(Execution, CheckIsTakenOverOnlyByTheSameFile) {
  const wchar_t kHandedOverMd5[] = L"00000000000000000000000000000000";
  enum class after_check { moved_into_place, copied_into_place, swapped_after_move };
  const struct {
    const char* name;
    after_check what;
    bool taken_over;
  } cases[] = {
      {"the checked file moved into place", after_check::moved_into_place, true},
      {"a copy of the same bytes", after_check::copied_into_place, false},
      {"another file put in its place after the move", after_check::swapped_after_move, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring staged = installer_ + L".tmp";
    ASSERT_TRUE(copy_file(tool(L"setup_standin\\unsigned\\setup64.exe"), staged));
    ::DeleteFileW(installer_.c_str());
    signature_verdict trusted;
    trusted.trusted = true;
    trusted.step = signature_verdict::passed;
    checked_file checked{held_file(staged, held_file::movable), trusted, kHandedOverMd5};
    ASSERT_TRUE(checked.file.IsHeld());

    HANDLE writer = ::CreateFileW(staged.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "a movable hold still refuses writers";
    if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);

    switch (c.what) {
      case after_check::moved_into_place:
        ASSERT_TRUE(::MoveFileExW(staged.c_str(), installer_.c_str(), MOVEFILE_REPLACE_EXISTING));
        checked.file.Moved(installer_);
        break;
      case after_check::copied_into_place:
        ASSERT_TRUE(::CopyFileW(staged.c_str(), installer_.c_str(), FALSE));
        break;
      case after_check::swapped_after_move: {
        ASSERT_TRUE(::MoveFileExW(staged.c_str(), installer_.c_str(), MOVEFILE_REPLACE_EXISTING));
        checked.file.Moved(installer_);
        const std::wstring aside = folder_ + L"aside.exe";
        ASSERT_TRUE(::MoveFileExW(installer_.c_str(), aside.c_str(), 0)) << "a movable hold lets it be renamed";
        ASSERT_TRUE(copy_file(aside, installer_));
        break;
      }
    }

    verified_installer found(installer_, std::move(checked));
    ASSERT_TRUE(found.IsHeld());
    EXPECT_EQ(found.PassesPublisherCheck(publisher_), c.taken_over);
    const std::string bytes = read_file(installer_);
    const std::string own_md5 = md5_text_of(bytes.data(), bytes.size());
    EXPECT_EQ(found.Md5(), c.taken_over ? std::wstring(kHandedOverMd5) : std::wstring(own_md5.begin(), own_md5.end()));
    ::DeleteFileW(staged.c_str());
    ::DeleteFileW((folder_ + L"aside.exe").c_str());
  }
}

// A file the check refuses never starts: the user is told, and one in the
// temporary-folder cache is deleted; one beside the launcher stays.
TEST_F(Execution, InstallerWithoutThePublishersSignatureNeverStarts) {
  for (const auto location : {installer_info::location_temp_cache, installer_info::location_beside_launcher}) {
    SCOPED_TRACE(location);
    ASSERT_TRUE(copy_file(tool(L"setup_standin\\foreign\\setup64.exe"), installer_));
    recording_window window;
    info_.location = location;
    info_.installer_path = installer_;
    verified_installer held(installer_);
    RunLocalInstaller(info_, held, settings(), window);
    EXPECT_EQ(window.boxes(), std::vector<UINT>{IDS_INSTALLER_PUBLISHER_UNVERIFIED});
    EXPECT_EQ(window.styles(), std::vector<UINT>{MB_OK | MB_ICONERROR});
    EXPECT_EQ(file_exists(installer_), location == installer_info::location_beside_launcher);
  }
  EXPECT_TRUE(records().empty());
}

// The installer's folder is reached through a link that another program of
// the user points elsewhere between the check and the start. The shell is
// given the held file's own path, so the checked bytes start, never what the
// link leads to by then.
TEST_F(Execution, LinkRetargetedBetweenTheCheckAndTheStartStartsTheCheckedBytes) {
  const std::wstring checked_folder = folder_;
  const std::wstring other_folder = work_.path() + L"other\\";
  ASSERT_TRUE(::CreateDirectoryW(other_folder.c_str(), nullptr));
  ASSERT_TRUE(copy_file(tool(L"setup_standin\\unsigned\\setup64.exe"), other_folder + L"setup64.exe"));
  const std::wstring link = work_.path() + L"linked";
  ASSERT_TRUE(make_unix_link(checked_folder, link));
  const std::wstring through_link = link + L"\\setup64.exe";

  info_.location = installer_info::location_temp_cache;
  info_.installer_path = through_link;
  verified_installer held(through_link);
  ASSERT_TRUE(held.PassesPublisherCheck(publisher_));
  ASSERT_TRUE(make_unix_link(other_folder, link)) << "pointed elsewhere after the check";

  RunLocalInstaller(info_, held, settings(), window_);
  const auto started = records();
  ASSERT_LE(started.size(), 1u);
  if (!started.empty()) {
    EXPECT_EQ(started[0].path, installer_) << "the checked file, in the folder it was checked in";
    EXPECT_EQ(started[0].working_folder + L"\\", folder_);
  }
  EXPECT_TRUE(remove_unix_link(link));
}

// The elevated installer writes its log by name in its folder. A second name
// of someone else's file planted there is removed first (the file keeps its
// bytes); a link that cannot be removed as a link (Wine) stops the start.
TEST_F(Execution, InstallerLogPlantedAsALinkIsNeverWrittenThrough) {
  temp_folder elsewhere(L"execution-victim");
  const std::wstring victim = elsewhere.path() + L"victim.txt";
  const std::wstring log = folder_ + L"instlog.txt";
  info_.location = installer_info::location_temp_cache;
  info_.installer_path = installer_;
  {
    SCOPED_TRACE("a second name of the victim");
    write_file(victim, "victim");
    ASSERT_TRUE(make_hard_link(victim, log));
    verified_installer held(installer_);
    RunLocalInstaller(info_, held, settings(), window_);
    EXPECT_EQ(records().size(), 1u) << "the installer starts";
    EXPECT_FALSE(file_exists(log)) << "the planted name is gone";
    EXPECT_EQ(read_file(victim), "victim");
    EXPECT_TRUE(window_.boxes().empty());
  }
  {
    SCOPED_TRACE("a symbolic link to the victim");
    ASSERT_TRUE(make_unix_link(victim, log));
    verified_installer held(installer_);
    recording_window window;
    RunLocalInstaller(info_, held, settings(), window);
    if (links_can_be_addressed()) {
      EXPECT_EQ(records().size(), 2u);
      EXPECT_FALSE(is_unix_link(log));
    } else {
      EXPECT_EQ(records().size(), 1u) << "nothing more started";
      EXPECT_EQ(window.boxes(), std::vector<UINT>{IDS_INSTALLER_PUBLISHER_UNVERIFIED});
      EXPECT_TRUE(remove_unix_link(log));
    }
    EXPECT_EQ(read_file(victim), "victim");
  }
}

TEST_F(Execution, DownloadedInstallerAlwaysGetsTheLogOption) {
  info_.download_path = installer_;
  verified_installer held(installer_);
  RunDownloadedInstaller(info_, held, settings(), window_);
  const auto started = records();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_TRUE(ends_with(started[0].command_line, kLog + L"\"")) << started[0].command_line;
}

TEST_F(Execution, InstallerThatKeepsRunningGivesWaitTimeoutAndNoMessage) {
  behave(L"run 8000");
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(ExecuteInstaller(installer_, BuildInstallerParameters(true, L"", true)), installer_still_running);
  const DWORD waited = ::GetTickCount() - start;
  EXPECT_GE(waited, 4900u);
  EXPECT_LT(waited, 7500u);
  EXPECT_TRUE(run_local(installer_info::location_temp_cache, 6000).empty());
}

TEST_F(Execution, MissingAdministratorRightsShowMessage108) {
  for (const wchar_t* code : {L"exit 5", L"exit 1223"}) {
    behave(code);
    const auto boxes = run_local(installer_info::location_temp_cache);
    ASSERT_EQ(boxes.size(), 1u) << code;
    EXPECT_EQ(boxes[0].text, kAdminRightsRequired);
    EXPECT_EQ(boxes[0].caption, L"installer_execution_test");
  }
  behave(L"exit 3");
  EXPECT_EQ(ExecuteInstaller(installer_, L""), 3u);
  EXPECT_TRUE(run_local(installer_info::location_temp_cache, 1500).empty()) << "other codes show nothing";
}

TEST_F(Execution, MissingInstallerShowsNothing) {
  const std::wstring missing = folder_ + L"setup32.exe";
  EXPECT_EQ(ExecuteInstaller(missing, L""), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  installer_ = missing;
  EXPECT_TRUE(run_local(installer_info::location_temp_cache, 1500).empty());
  EXPECT_TRUE(records().empty());
}

TEST_F(Execution, ElevationExistsOnThisWindows) {
  EXPECT_TRUE(IsNt6OrLater());
  EXPECT_STREQ(installer_verb(), L"runas");
}

TEST_F(Execution, OlderWindowsStartsWithOpen) {
  const std::wstring probe = path_from_environment("VELORA_BUILD_DIR") + L"\\tests\\version_probe.exe";
  const std::wstring key = L"Software\\Wine\\AppDefaults\\version_probe.exe";
  const std::wstring out = work_.path() + L"probe.txt";
  auto run_probe = [&] {
    test_process process(probe, L"\"" + out + L"\"");
    DWORD code = 99;
    EXPECT_TRUE(process.wait(30000, &code));
    EXPECT_EQ(code, 0u);
    return read_file(out);
  };

  HKEY app_defaults = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &app_defaults, nullptr),
            ERROR_SUCCESS);
  const wchar_t winxp[] = L"winxp";
  ::RegSetValueExW(app_defaults, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(winxp),
                   sizeof(winxp));
  ::RegCloseKey(app_defaults);
  const std::string on_xp = run_probe();
  ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());

  EXPECT_EQ(on_xp, "nt6=0 verb=open");
  EXPECT_EQ(run_probe(), "nt6=1 verb=runas");
}

// The recorder opens PDF files and web addresses in this prefix while the
// suite runs.
class ShellOpening : public ::testing::Test {
protected:
  static void SetUpTestSuite() { register_shell_recorder(); }

  // The recorder's lines, waiting until `count` arrived.
  std::vector<std::wstring> recorded(size_t count) const { return record_.lines_when(count, kWatchMs); }

  temp_folder work_{L"shell-open"};
  std::wstring record_path_ = work_.path() + L"shell-record.txt";
  shell_record record_{record_path_};
};

TEST_F(ShellOpening, EmptyTargetCallsNothing) {
  EXPECT_FALSE(ShellOpen(nullptr, L"", SW_SHOWNORMAL));
  ::Sleep(500);
  EXPECT_FALSE(file_exists(record_path_));
}

TEST_F(ShellOpening, PdfAndWebAddressesReachTheirPrograms) {
  const std::wstring manual = work_.path() + L"vl6manual.pdf";
  write_file(manual, "%PDF-1.4");
  EXPECT_TRUE(ShellOpen(nullptr, manual, SW_SHOWNORMAL));
  ASSERT_EQ(recorded(1).size(), 1u);
  EXPECT_TRUE(ShellOpen(nullptr, L"http://127.0.0.1:9/cs/", SW_SHOWNORMAL));
  ASSERT_EQ(recorded(2).size(), 2u);
  EXPECT_TRUE(ShellOpen(nullptr, L"https://127.0.0.1:9/products/acrobat/readstep2.html", SW_SHOWNORMAL));
  const auto lines = recorded(3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], L"\"" + manual + L"\"");
  EXPECT_EQ(lines[1], L"\"http://127.0.0.1:9/cs/\"");
  EXPECT_EQ(lines[2], L"\"https://127.0.0.1:9/products/acrobat/readstep2.html\"");
}

}  // namespace
