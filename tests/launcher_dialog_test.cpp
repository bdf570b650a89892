// The launcher dialog: its run-time layout and texts, its colour answers,
// closing while a workflow runs, the quiet start's timer, replacing the
// please-wait window on a second Install, and stopping a worker that does not
// listen when the dialog goes.
//
// The dialog runs in this process, modal on a thread of its own (as the
// launcher's main thread runs it), and is inspected from the test's thread
// through its window and the window interface its workflows use.
#include "framework/afx_app.h"
#include "launcher/launcher_dlg.h"
#include "res/resource.h"
#include "support/system_libraries.h"
#include "tests/fixtures_window/window_test_support.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"
#include "tests/support/workflow_bench.h"
#include "velora_endpoints.h"
#include "velora_version.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kDialogClass[] = LAUNCHER_WINDOW_CLASS_W;
constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kWorkerTimeoutMs = 30000;
constexpr DWORD kInstallerStartTimeoutMs = 30000;
constexpr int kQuietDelayMs = 300;
constexpr DWORD kStopWaitMs = 1000;
constexpr DWORD kTerminatedExitCode = 0xFFFFFFFF;
// Long enough to keep the workflow inside its 5 s wait for the installer.
const wchar_t kLongInstaller[] = L"run 7000";

// Messages the probe dialog answers on its own thread.
constexpr UINT kMarkMessage = WM_APP + 40;           // posted: counts
constexpr UINT kKillQuietTimerMessage = WM_APP + 42; // sent: KillTimer's answer
constexpr UINT kEndMessage = WM_APP + 43;            // sent: ends the dialog regardless

std::wstring load_string(UINT id) {
  const wchar_t* resource = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id,
                                   reinterpret_cast<LPWSTR>(&resource), 0);
  return length > 0 ? std::wstring(resource, length) : std::wstring();
}

std::wstring text_of(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 511);
  return text;
}

std::wstring widen(const char* ascii) { return std::wstring(ascii, ascii + std::strlen(ascii)); }

HANDLE duplicate(HANDLE handle) {
  HANDLE copy = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  return copy;
}

// Whether `brush` paints solid white, as the launcher's background does.
bool paints_white(HBRUSH brush) {
  LOGBRUSH logical{};
  return brush && ::GetObjectW(brush, sizeof(logical), &logical) == sizeof(logical) &&
         logical.lbStyle == BS_SOLID && logical.lbColor == RGB(255, 255, 255);
}

class probe_dialog;
probe_dialog* g_probe = nullptr;  // the dialog of the dialog thread, for its CBT hook

// The launcher dialog with counters around the handlers the tests watch, and
// a few answers the test thread asks for. Its install workers are seen where
// they meet the window: the first thing a run does to it is disable Install.
class probe_dialog : public CLauncherDlg {
public:
  explicit probe_dialog(BOOL quiet) : CLauncherDlg(data_, update_server(), options_, publisher_, manifest_signing(), quiet) {}
  ~probe_dialog() override {
    if (old_thread) ::CloseHandle(old_thread);
    if (const HANDLE last = install_worker_.load()) ::CloseHandle(last);
    for (HANDLE earlier : earlier_workers_) ::CloseHandle(earlier);
  }

  std::atomic<HWND> window{nullptr};
  std::atomic<ULONGLONG> opened_at{0};
  std::atomic<ULONGLONG> first_ok_at{0};
  std::atomic<int> ok_calls{0};
  std::atomic<int> cancel_calls{0};
  std::atomic<int> marks{0};

  // A second Install: the earlier please-wait window and its thread, and what
  // was true of them when the new window was being created.
  HWND old_progress = nullptr;
  HANDLE old_thread = nullptr;
  std::atomic<int> progress_windows_created{0};
  std::atomic<bool> old_window_gone_before_new{false};
  std::atomic<bool> old_thread_ended_before_new{false};

  // Called by the CBT hook for each dialog window this thread creates: in
  // Install's handler, that is the please-wait window.
  void DialogCreated(HWND created) {
    if (!in_ok_) return;
    ++progress_windows_created;
    old_window_gone_before_new = !old_progress || !::IsWindow(old_progress);
    old_thread_ended_before_new = !old_thread || ::WaitForSingleObject(old_thread, 0) == WAIT_OBJECT_0;
    progress_ = created;
  }

  // The latest install worker (a handle of this dialog's), or null before
  // the first run has begun; whether it has not ended yet.
  HANDLE install_worker() const { return install_worker_; }
  bool install_worker_running() const {
    const HANDLE worker = install_worker_;
    return worker && ::WaitForSingleObject(worker, 0) == WAIT_TIMEOUT;
  }

  void enable_install(bool enable) override {
    if (!enable) {
      // Runs follow one another: no other install worker touches the list.
      const HANDLE earlier = install_worker_.exchange(duplicate(::GetCurrentThread()));
      if (earlier) earlier_workers_.push_back(earlier);
    }
    CLauncherDlg::enable_install(enable);
  }

protected:
  BOOL OnInitDialog() override {
    const BOOL focus = CLauncherDlg::OnInitDialog();
    window = m_hWnd;
    opened_at = ::GetTickCount64();
    return focus;
  }

  void OnOK() override {
    if (ok_calls++ == 0) first_ok_at = ::GetTickCount64();
    if (const auto* progress = dynamic_cast<CEasyProgress*>(CWnd::FromHandlePermanent(progress_))) {
      old_progress = progress_;
      if (progress->progress_thread()) old_thread = duplicate(progress->progress_thread()->m_hThread);
    }
    in_ok_ = true;
    CLauncherDlg::OnOK();
    in_ok_ = false;
  }

  void OnCancel() override {
    ++cancel_calls;
    CLauncherDlg::OnCancel();
  }

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    switch (message) {
      case kMarkMessage:
        ++marks;
        result = 0;
        return true;
      case kKillQuietTimerMessage:
        result = ::KillTimer(m_hWnd, kQuietInstallTimer);
        return true;
      case kEndMessage:
        EndDialog(IDCANCEL);
        result = 0;
        return true;
      default:
        return CLauncherDlg::OnMessage(message, wparam, lparam, result);
    }
  }

private:
  // The update server of this test program, which names the installers the
  // tests put at hand.
  static const std::wstring& update_server() {
    static const std::wstring server = workflow_bench::update_server();
    return server;
  }

  static CDataControl data_;
  static std::wstring options_;
  static const std::wstring publisher_;
  bool in_ok_ = false;
  HWND progress_ = nullptr;  // the latest please-wait window
  std::atomic<HANDLE> install_worker_{nullptr};
  std::vector<HANDLE> earlier_workers_;
};
CDataControl probe_dialog::data_;
std::wstring probe_dialog::options_;
const std::wstring probe_dialog::publisher_ = VELORA_PUBLISHER;

LRESULT CALLBACK watch_creation(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && g_probe) {
    wchar_t name[32] = {};
    ::GetClassNameW(reinterpret_cast<HWND>(wparam), name, 31);
    if (std::wstring(name) == L"#32770") g_probe->DialogCreated(reinterpret_cast<HWND>(wparam));
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

// Runs a probe dialog modally on a thread of its own, as start-up runs the
// launcher dialog, and destroys it there when it has ended.
class dialog_runner {
public:
  explicit dialog_runner(bool quiet) : quiet_(quiet) {
    thread_ = std::thread([this] { run(); });
  }

  ~dialog_runner() {
    if (!finished_ && !window_) wait_for_window();
    if (!finished_ && window_) ::SendMessageW(window_, kEndMessage, 0, 0);
    thread_.join();
    if (worker_) ::CloseHandle(worker_);
  }

  // The dialog once initialised and visible; null on time-out. The probe is
  // valid until the dialog has ended.
  HWND wait_for_window() {
    poll([this] {
      if (finished_) return true;
      probe_dialog* dialog = probe_;
      const HWND window = dialog ? dialog->window.load() : nullptr;
      return window && ::IsWindowVisible(window);
    }, kWindowTimeoutMs);
    if (finished_) return nullptr;
    window_ = probe_.load()->window.load();
    return window_;
  }
  probe_dialog& probe() { return *probe_; }

  // Waits until the dialog's thread has handled every message posted so far.
  bool settle() {
    const int mark = probe_.load()->marks + 1;
    ::PostMessageW(window_, kMarkMessage, 0, 0);
    return poll([&] { return finished_ || probe_.load()->marks >= mark; }, kWindowTimeoutMs) &&
           !finished_;
  }

  bool worker_running() const { return probe_.load()->install_worker_running(); }

  bool wait_finished(DWORD timeout_ms) {
    return poll([this] { return finished_.load(); }, timeout_ms);
  }

  INT_PTR result() const { return result_; }
  ULONGLONG destroy_ms() const { return destroy_ms_; }
  // The install worker as it was when the dialog ended (null when none).
  HANDLE worker() const { return worker_; }

private:
  void run() {
    auto dialog = std::make_unique<probe_dialog>(quiet_ ? TRUE : FALSE);
    g_probe = dialog.get();
    const HHOOK hook = ::SetWindowsHookExW(WH_CBT, &watch_creation, nullptr, ::GetCurrentThreadId());
    probe_ = dialog.get();
    result_ = dialog->DoModal();
    if (const HANDLE worker = dialog->install_worker()) worker_ = duplicate(worker);
    const ULONGLONG start = ::GetTickCount64();
    dialog.reset();
    destroy_ms_ = ::GetTickCount64() - start;
    g_probe = nullptr;
    if (hook) ::UnhookWindowsHookEx(hook);
    finished_ = true;
  }

  const bool quiet_;
  std::thread thread_;
  std::atomic<probe_dialog*> probe_{nullptr};
  HWND window_ = nullptr;
  std::atomic<bool> finished_{false};
  INT_PTR result_ = 0;
  ULONGLONG destroy_ms_ = 0;
  HANDLE worker_ = nullptr;
};

class LauncherDialog : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    WNDCLASSW dialog_class{};
    dialog_class.style = CS_DBLCLKS;
    dialog_class.lpfnWndProc = ::DefDlgProcW;
    dialog_class.cbWndExtra = DLGWINDOWEXTRA;
    dialog_class.hInstance = ::GetModuleHandleW(nullptr);
    dialog_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    dialog_class.lpszClassName = kDialogClass;
    ASSERT_TRUE(AfxRegisterClass(&dialog_class));
    const comctl32_functions* comctl32 = comctl32_library();
    ASSERT_NE(comctl32, nullptr);
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    comctl32->InitCommonControlsEx(&classes);
  }

  void SetUp() override {
    // The installer cache "%temp%\vlr6setup\" is this test's folder.
    wchar_t temp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    saved_temp_ = temp;
    ::SetEnvironmentVariableW(L"TEMP", work_.path().c_str());
    cache_ = work_.path() + L"vlr6setup\\";
    record_ = work_.path() + L"record.txt";
    ::SetEnvironmentVariableW(L"VELORA_SETUP_RECORD", record_.c_str());
    ::SetEnvironmentVariableW(L"VELORA_SETUP_BEHAVIOUR", L"exit 0");
    // The update server names the installers these tests put at hand.
    workflow_bench::serve_manifest_for_standins();
  }

  void TearDown() override { ::SetEnvironmentVariableW(L"TEMP", saved_temp_.c_str()); }

  // Puts the stand-in installer where the inventory looks first.
  void provide_installer(const wchar_t* behaviour) {
    ::CreateDirectoryW(cache_.c_str(), nullptr);
    const std::wstring tools = path_from_environment("VELORA_BUILD_DIR") + L"\\tools\\setup_standin\\";
    ASSERT_TRUE(copy_file(tools + L"setup64.exe", cache_ + L"setup64.exe"));
    ASSERT_TRUE(copy_file(tools + L"setup32.exe", cache_ + L"setup32.exe"));
    ::SetEnvironmentVariableW(L"VELORA_SETUP_BEHAVIOUR", behaviour);
  }

  bool installer_started() const {
    return read_file(record_).find("end\r\n") != std::string::npos;
  }

  static void press(HWND dialog, int id) {
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
  }

  // Presses Install with an installer at hand that keeps running; returns the
  // dialog once the workflow waits for that installer (null on failure).
  HWND start_long_install(dialog_runner& runner) {
    provide_installer(kLongInstaller);
    const HWND dialog = runner.wait_for_window();
    if (!dialog) return nullptr;
    press(dialog, IDOK);
    if (!poll([&] { return installer_started(); }, kInstallerStartTimeoutMs)) return nullptr;
    return runner.worker_running() ? dialog : nullptr;
  }

  temp_folder work_{L"launcher_dialog"};
  std::wstring saved_temp_;
  std::wstring cache_;
  std::wstring record_;
};

// ---------------------------------------------------------------------------

RECT in_client(HWND dialog, HWND control) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT template_size(HWND dialog, int width, int height) {
  RECT size{0, 0, width, height};
  ::MapDialogRect(dialog, &size);
  return size;
}

TEST_F(LauncherDialog, LayoutAndTexts) {
  dialog_runner runner(false);
  const HWND dialog = runner.wait_for_window();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(runner.settle());

  RECT client{};
  ::GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 440);

  const RECT check_size = template_size(dialog, 122, 10);
  const RECT label_size = template_size(dialog, 148, 15);
  struct placement {
    const char* name;
    int id;
    int left, top, width, height;
  } const expected[] = {
      {"install", IDOK, 125, 242, 390, 60},
      {"check box", IDC_CHOOSE_FOLDER, 215, 303, check_size.right, check_size.bottom},
      {"guide", IDC_GUIDE, 125, 342, 250, 38},
      {"reader", IDC_READER, 393, 342, 122, 36},
      {"version", IDC_VERSION, 495 - label_size.right, 405, label_size.right, label_size.bottom},
      {"close", IDCANCEL, 515, 401, 110, 25},
  };
  for (const placement& p : expected) {
    SCOPED_TRACE(p.name);
    const HWND control = ::GetDlgItem(dialog, p.id);
    ASSERT_NE(control, nullptr);
    const RECT rect = in_client(dialog, control);
    EXPECT_EQ(rect.left, p.left);
    EXPECT_EQ(rect.top, p.top);
    EXPECT_EQ(rect.right - rect.left, p.width);
    EXPECT_EQ(rect.bottom - rect.top, p.height);
  }

  EXPECT_EQ(text_of(dialog), load_string(IDS_WINDOW_TITLE));
  EXPECT_EQ(text_of(::GetDlgItem(dialog, IDC_CHOOSE_FOLDER)), load_string(IDS_CHOOSE_FOLDER));
  EXPECT_EQ(text_of(::GetDlgItem(dialog, IDC_VERSION)), L"ver." + widen(VELORA_VERSION_TEXT));

  // None of the controls is drawn focused.
  for (int id : {IDOK, IDC_CHOOSE_FOLDER, IDC_GUIDE, IDC_READER, IDCANCEL}) {
    const LRESULT state = ::SendMessageW(::GetDlgItem(dialog, id), BM_GETSTATE, 0, 0);
    EXPECT_EQ(state & BST_FOCUS, 0) << id;
  }
}

// What the dialog answers to colour requests, and what it does to the DC.
struct colour_case {
  const char* name;
  UINT message;
  int control;  // 0: the dialog itself
  bool disable;
  bool white;        // the dialog's white brush comes back
  bool transparent;  // the text background is made transparent
};

class ColourRequests : public LauncherDialog, public ::testing::WithParamInterface<colour_case> {};

TEST_P(ColourRequests, Answer) {
  const colour_case& c = GetParam();
  dialog_runner runner(false);
  const HWND dialog = runner.wait_for_window();
  ASSERT_NE(dialog, nullptr);
  const HWND target = c.control ? ::GetDlgItem(dialog, c.control) : dialog;
  if (c.disable) ::EnableWindow(target, FALSE);

  dib_canvas canvas(4, 4);
  ::SetBkMode(canvas.dc(), OPAQUE);
  const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
      dialog, c.message, reinterpret_cast<WPARAM>(canvas.dc()), reinterpret_cast<LPARAM>(target)));
  // The dialog's own background, asked on a DC of its own.
  dib_canvas scratch(4, 4);
  const auto white = reinterpret_cast<HBRUSH>(::SendMessageW(
      dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(scratch.dc()), reinterpret_cast<LPARAM>(dialog)));
  ASSERT_TRUE(paints_white(white));
  if (c.white) {
    EXPECT_EQ(brush, white);
  } else {
    EXPECT_NE(brush, white);
    EXPECT_FALSE(paints_white(brush));
  }
  EXPECT_EQ(::GetBkMode(canvas.dc()), c.transparent ? TRANSPARENT : OPAQUE);
  if (c.disable) ::EnableWindow(target, TRUE);
}

const colour_case kColourCases[] = {
    {"check_box", WM_CTLCOLORSTATIC, IDC_CHOOSE_FOLDER, false, true, false},
    // The install workflow disables the check box while it runs.
    {"disabled_check_box", WM_CTLCOLORSTATIC, IDC_CHOOSE_FOLDER, true, true, false},
    {"version_label", WM_CTLCOLORSTATIC, IDC_VERSION, false, true, true},
    {"disabled_label", WM_CTLCOLORSTATIC, IDC_VERSION, true, false, false},
    {"dialog", WM_CTLCOLORDLG, 0, false, true, true},
    {"button", WM_CTLCOLORBTN, IDOK, false, true, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, ColourRequests, ::testing::ValuesIn(kColourCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

// With the quiet option the timer is there after initialisation; without it
// there is none (KillTimer finds nothing to kill).
TEST_F(LauncherDialog, QuietTimerOnlyWithTheQuietOption) {
  for (bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "quiet" : "not quiet");
    dialog_runner runner(quiet);
    const HWND dialog = runner.wait_for_window();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(::SendMessageW(dialog, kKillQuietTimerMessage, 0, 0) != 0, quiet);
    EXPECT_EQ(runner.probe().ok_calls, 0);
  }
}

TEST_F(LauncherDialog, QuietStartPressesInstallAfter300Ms) {
  provide_installer(L"exit 0");
  dialog_runner runner(true);
  const HWND dialog = runner.wait_for_window();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(poll([&] { return installer_started(); }, kInstallerStartTimeoutMs));
  probe_dialog& probe = runner.probe();
  EXPECT_EQ(probe.ok_calls, 1);
  const ULONGLONG delay = probe.first_ok_at - probe.opened_at;
  EXPECT_GE(delay, static_cast<ULONGLONG>(kQuietDelayMs - 20));
  EXPECT_LT(delay, static_cast<ULONGLONG>(kQuietDelayMs + 1500));
  // The timer fired once.
  EXPECT_EQ(::SendMessageW(dialog, kKillQuietTimerMessage, 0, 0), 0);
  ASSERT_TRUE(poll([&] { return !runner.worker_running(); }, kWorkerTimeoutMs));
  EXPECT_EQ(probe.ok_calls, 1);
}

TEST_F(LauncherDialog, CloseHasNoEffectWhileInstallRunsAndWorksAfterwards) {
  dialog_runner runner(false);
  const HWND dialog = start_long_install(runner);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDOK)));

  ::SendMessageW(dialog, WM_CLOSE, 0, 0);  // posts the Cancel command
  press(dialog, IDCANCEL);
  ASSERT_TRUE(runner.settle());
  EXPECT_EQ(runner.probe().cancel_calls, 2);
  EXPECT_FALSE(runner.wait_finished(0));
  EXPECT_TRUE(::IsWindowVisible(dialog));

  ASSERT_TRUE(poll([&] { return !runner.worker_running(); }, kWorkerTimeoutMs));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDOK)));
  ::SendMessageW(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(runner.wait_finished(kWindowTimeoutMs));
  EXPECT_EQ(runner.result(), IDCANCEL);
  EXPECT_LT(runner.destroy_ms(), 500u) << "nothing left to stop";
}

TEST_F(LauncherDialog, ASecondInstallReplacesThePleaseWaitWindowAfterItsThreadEnded) {
  provide_installer(L"exit 0");
  dialog_runner runner(false);
  const HWND dialog = runner.wait_for_window();
  ASSERT_NE(dialog, nullptr);
  probe_dialog& probe = runner.probe();

  press(dialog, IDOK);
  EXPECT_EQ(probe.progress_windows_created, 1);
  ASSERT_TRUE(poll([&] { return installer_started(); }, kInstallerStartTimeoutMs));
  ASSERT_TRUE(poll([&] { return !runner.worker_running(); }, kWorkerTimeoutMs));
  ASSERT_TRUE(runner.settle());

  write_file(record_, "");
  press(dialog, IDOK);
  EXPECT_EQ(probe.progress_windows_created, 2);
  ASSERT_NE(probe.old_progress, nullptr);
  ASSERT_NE(probe.old_thread, nullptr);
  EXPECT_TRUE(probe.old_window_gone_before_new);
  EXPECT_TRUE(probe.old_thread_ended_before_new);
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeThread(probe.old_thread, &code);
  EXPECT_EQ(code, 0u) << "the earlier animation ended by its stop flag";
  ASSERT_TRUE(poll([&] { return installer_started(); }, kInstallerStartTimeoutMs));
  ASSERT_TRUE(poll([&] { return !runner.worker_running(); }, kWorkerTimeoutMs));
}

// A quiet start's timer can fire after a click: Install while its workflow
// runs must leave that workflow's please-wait window alone.
TEST_F(LauncherDialog, InstallWhileItsWorkflowRunsChangesNothing) {
  dialog_runner runner(false);
  const HWND dialog = start_long_install(runner);
  ASSERT_NE(dialog, nullptr);
  probe_dialog& probe = runner.probe();

  press(dialog, IDOK);
  EXPECT_EQ(probe.ok_calls, 2);
  EXPECT_EQ(probe.progress_windows_created, 1);
  ASSERT_TRUE(poll([&] { return !runner.worker_running(); }, kWorkerTimeoutMs));
}

TEST_F(LauncherDialog, DestructionTerminatesAWorkerThatDoesNotStop) {
  dialog_runner runner(false);
  const HWND dialog = start_long_install(runner);
  ASSERT_NE(dialog, nullptr);

  // The worker waits for the installer and does not look at its stop flag.
  ::SendMessageW(dialog, kEndMessage, 0, 0);
  ASSERT_TRUE(runner.wait_finished(kWindowTimeoutMs));
  ASSERT_NE(runner.worker(), nullptr);
  EXPECT_GE(runner.destroy_ms(), kStopWaitMs - 50);
  EXPECT_LT(runner.destroy_ms(), kStopWaitMs + 1500);
  EXPECT_EQ(::WaitForSingleObject(runner.worker(), 0), WAIT_OBJECT_0);
  DWORD code = 0;
  ::GetExitCodeThread(runner.worker(), &code);
  EXPECT_EQ(code, kTerminatedExitCode);
}

}  // namespace
