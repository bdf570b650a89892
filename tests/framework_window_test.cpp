// The framework's window side: dialogs, colour requests, owner-draw routing,
// subclassing lifetimes, worker threads and the wait cursor.
#include "framework/afx_controls.h"
#include "framework/afx_dialog.h"
#include "framework/afx_exception.h"
#include "framework/afx_gdi.h"
#include "framework/afx_thread.h"
#include "framework/afx_wait_cursor.h"
#include "tests/fixtures_window/window_fixture.h"
#include "tests/fixtures_window/window_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr DWORD kThreadTimeoutMs = 10000;

// What the framework's exception reporter last received.
struct reported_exception {
  std::string where;
  std::string what;
};
reported_exception g_reported;

void record_exception(const char* where, const char* what) { g_reported = {where, what}; }

// Installs the recording reporter for one test.
class scoped_reporter {
public:
  scoped_reporter() : previous_(AfxSetExceptionReporter(&record_exception)) { g_reported = {}; }
  ~scoped_reporter() { AfxSetExceptionReporter(previous_); }

private:
  AfxExceptionReporter previous_;
};

constexpr COLORREF kDialogBrushColour = RGB(10, 200, 30);
constexpr UINT kCountedMessage = WM_APP + 1;
constexpr UINT kThrowingMessage = WM_APP + 2;

// A subclassed control that counts one message, records DrawItem and throws
// on request.
class probe_wnd : public CWnd {
public:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == kCountedMessage) {
      ++counted;
      return 0;
    }
    if (message == kThrowingMessage) throw std::runtime_error("probe failure");
    return CWnd::WindowProc(message, wparam, lparam);
  }
  void DrawItem(LPDRAWITEMSTRUCT item) override { drawn_items.push_back(item->CtlID); }

  int counted = 0;
  std::vector<UINT> drawn_items;
};

// The fixture dialog: records its handlers, binds the check box, answers
// colour requests with its own brush when told to.
class fixture_dialog : public CDialog {
public:
  explicit fixture_dialog(UINT posted_message = 0, WPARAM posted_wparam = 0)
      : CDialog(IDD_FIXTURE_DIALOG, nullptr),
        posted_message_(posted_message),
        posted_wparam_(posted_wparam),
        brush_(kDialogBrushColour) {}

  void DoDataExchange() override {
    calls.push_back("DoDataExchange");
    DDX_Control(IDC_FIXTURE_CHECK, check);
  }
  BOOL OnInitDialog() override {
    const BOOL focus = CDialog::OnInitDialog();
    calls.push_back("OnInitDialog");
    if (posted_message_) PostMessage(posted_message_, posted_wparam_, 0);
    return focus;
  }
  void OnOK() override {
    calls.push_back("OnOK");
    CDialog::OnOK();
  }
  void OnCancel() override {
    calls.push_back("OnCancel");
    CDialog::OnCancel();
  }
  HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override {
    colour_requests.push_back({kind, control ? control->GetSafeHwnd() : nullptr, control, dc});
    return answer_colour_requests ? static_cast<HBRUSH>(brush_) : nullptr;
  }

  struct colour_request {
    UINT kind;
    HWND control_window;
    CWnd* control;
    HDC dc;
  };

  probe_wnd check;
  std::vector<std::string> calls;
  std::vector<colour_request> colour_requests;
  bool answer_colour_requests = true;
  const CBrush& brush() const { return brush_; }

private:
  UINT posted_message_;
  WPARAM posted_wparam_;
  CBrush brush_;
};

// ---------------------------------------------------------------------------

struct modal_case {
  const char* name;
  UINT message;
  WPARAM wparam;
  INT_PTR expected_result;
  const char* expected_handler;
};

class ModalDialog : public ::testing::TestWithParam<modal_case> {};

TEST_P(ModalDialog, EndsThroughItsHandlerAndLetsGoOfItsWindows) {
  const modal_case& c = GetParam();
  fixture_dialog dialog(c.message, c.wparam);
  EXPECT_EQ(dialog.DoModal(), c.expected_result);
  const std::vector<std::string> expected{"DoDataExchange", "OnInitDialog", c.expected_handler};
  EXPECT_EQ(dialog.calls, expected);
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  EXPECT_EQ(dialog.check.GetSafeHwnd(), nullptr);
}

const modal_case kModalCases[] = {
    {"ok", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), IDOK, "OnOK"},
    {"cancel", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), IDCANCEL, "OnCancel"},
    // The dialog manager turns a close into IDCANCEL.
    {"close", WM_CLOSE, 0, IDCANCEL, "OnCancel"},
};

INSTANTIATE_TEST_SUITE_P(Commands, ModalDialog, ::testing::ValuesIn(kModalCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

class ModelessDialog : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(dialog.Create(IDD_FIXTURE_DIALOG)); }

  fixture_dialog dialog;
};

TEST_F(ModelessDialog, ColourRequestsArriveWithTheirKindAndControl) {
  const HWND check = dialog.GetDlgItem(IDC_FIXTURE_CHECK);
  const HWND edit = dialog.GetDlgItem(IDC_FIXTURE_EDIT);
  dib_canvas canvas(4, 4);
  for (UINT kind = CTLCOLOR_MSGBOX; kind <= CTLCOLOR_STATIC; ++kind) {
    SCOPED_TRACE(kind);
    dialog.colour_requests.clear();
    const HWND control = kind % 2 ? check : edit;
    const LRESULT answer = dialog.SendMessage(WM_CTLCOLORMSGBOX + kind,
                                              reinterpret_cast<WPARAM>(canvas.dc()),
                                              reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(answer), static_cast<HBRUSH>(dialog.brush()));
    ASSERT_EQ(dialog.colour_requests.size(), 1u);
    const auto& request = dialog.colour_requests[0];
    EXPECT_EQ(request.kind, kind);
    EXPECT_EQ(request.control_window, control);
    EXPECT_EQ(request.dc, canvas.dc());
    // A bound control comes as its own object.
    if (control == check) {
      EXPECT_EQ(request.control, &dialog.check);
    }
  }
}

TEST_F(ModelessDialog, UnansweredColourRequestGetsTheSystemDefault) {
  dialog.answer_colour_requests = false;
  dib_canvas canvas(4, 4);
  const LRESULT answer =
      dialog.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.dc()),
                         reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDC_FIXTURE_CHECK)));
  EXPECT_EQ(dialog.colour_requests.size(), 1u);
  EXPECT_NE(answer, 0);
  EXPECT_NE(reinterpret_cast<HBRUSH>(answer), static_cast<HBRUSH>(dialog.brush()));
}

TEST_F(ModelessDialog, CheckBoxPaintsWithTheReturnedBrush) {
  RECT client{};
  dialog.check.GetClientRect(&client);
  dib_canvas canvas(client.right, client.bottom);
  canvas.fill(RGB(255, 255, 255));
  dialog.check.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);

  ASSERT_FALSE(dialog.colour_requests.empty());
  EXPECT_EQ(dialog.colour_requests.back().kind, static_cast<UINT>(CTLCOLOR_STATIC));
  // The right end of the control holds neither the box nor the short text.
  EXPECT_EQ(canvas.pixel(client.right - 2, client.bottom / 2), dib_colour(kDialogBrushColour));
}

TEST_F(ModelessDialog, DrawItemReachesTheBoundControlOnly) {
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_BUTTON;
  item.CtlID = IDC_FIXTURE_CHECK;
  item.hwndItem = dialog.check.GetSafeHwnd();
  EXPECT_EQ(dialog.SendMessage(WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item)), TRUE);
  EXPECT_EQ(dialog.check.drawn_items, std::vector<UINT>{IDC_FIXTURE_CHECK});

  item.CtlID = IDC_FIXTURE_EDIT;
  item.hwndItem = dialog.GetDlgItem(IDC_FIXTURE_EDIT);
  EXPECT_EQ(dialog.SendMessage(WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item)), FALSE);
  EXPECT_EQ(dialog.check.drawn_items.size(), 1u);
}

TEST_F(ModelessDialog, BindingTwiceSubclassesOnce) {
  dialog.DoDataExchange();
  dialog.check.SendMessage(kCountedMessage);
  EXPECT_EQ(dialog.check.counted, 1);
}

TEST_F(ModelessDialog, DestroyingTheWindowUnbindsDialogAndControls) {
  const HWND check = dialog.check.GetSafeHwnd();
  EXPECT_EQ(CWnd::FromHandlePermanent(check), &dialog.check);
  EXPECT_EQ(CWnd::FromHandlePermanent(dialog.GetSafeHwnd()), &dialog);
  EXPECT_TRUE(dialog.DestroyWindow());
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  EXPECT_EQ(dialog.check.GetSafeHwnd(), nullptr);
  EXPECT_FALSE(dialog.check.IsSubclassed());
}

TEST(ModelessDialogLifetime, ObjectGoingFirstDestroysItsWindow) {
  HWND window = nullptr;
  {
    fixture_dialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_FIXTURE_DIALOG));
    window = dialog.GetSafeHwnd();
  }
  EXPECT_FALSE(::IsWindow(window));
}

// ---------------------------------------------------------------------------

// A plain button window of this thread, destroyed with the object.
class button_window {
public:
  button_window()
      : window_(::CreateWindowExW(0, L"BUTTON", L"b", WS_POPUP | BS_PUSHBUTTON, 0, 0, 40, 20,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr)) {}
  ~button_window() {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
  }
  HWND get() const { return window_; }

private:
  HWND window_;
};

LONG_PTR window_procedure(HWND window) { return ::GetWindowLongPtrW(window, GWLP_WNDPROC); }

TEST(Subclassing, ObjectGoingFirstPutsTheOriginalProcedureBack) {
  button_window button;
  const LONG_PTR original = window_procedure(button.get());
  {
    probe_wnd probe;
    ASSERT_TRUE(probe.SubclassWindow(button.get()));
    EXPECT_NE(window_procedure(button.get()), original);
  }
  EXPECT_EQ(window_procedure(button.get()), original);
  EXPECT_EQ(CWnd::FromHandlePermanent(button.get()), nullptr);
  ::SendMessageW(button.get(), kCountedMessage, 0, 0);
  wchar_t text[8] = {};
  EXPECT_EQ(::GetWindowTextW(button.get(), text, 8), 1);
}

LONG_PTR g_outer_original = 0;
LRESULT CALLBACK outer_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return ::CallWindowProcW(reinterpret_cast<WNDPROC>(g_outer_original), window, message, wparam,
                           lparam);
}

TEST(Subclassing, ObjectGoingUnderAnotherSubclasserKeepsTheChainWorking) {
  button_window button;
  {
    probe_wnd probe;
    ASSERT_TRUE(probe.SubclassWindow(button.get()));
    g_outer_original = ::SetWindowLongPtrW(button.get(), GWLP_WNDPROC,
                                           reinterpret_cast<LONG_PTR>(&outer_subclass));
  }
  // The object is gone; messages pass through to the button itself.
  EXPECT_EQ(::SendMessageW(button.get(), kCountedMessage, 0, 0), 0);
  wchar_t text[8] = {};
  EXPECT_EQ(::GetWindowTextW(button.get(), text, 8), 1);
  EXPECT_TRUE(::DestroyWindow(button.get()));
}

TEST(Subclassing, AWindowBindsToOneObjectOnly) {
  button_window button;
  probe_wnd first, second;
  EXPECT_TRUE(first.SubclassWindow(button.get()));
  EXPECT_FALSE(second.SubclassWindow(button.get()));
  EXPECT_FALSE(first.SubclassWindow(button.get()));
  second.SendMessage(kCountedMessage);  // not bound: goes nowhere
  ::SendMessageW(button.get(), kCountedMessage, 0, 0);
  EXPECT_EQ(first.counted, 1);
  EXPECT_EQ(second.counted, 0);
}

TEST(Subclassing, ExceptionStopsAtTheWindowProcedure) {
  scoped_reporter reporter;
  button_window button;
  probe_wnd probe;
  ASSERT_TRUE(probe.SubclassWindow(button.get()));
  EXPECT_EQ(::SendMessageW(button.get(), kThrowingMessage, 0, 0), 0);
  EXPECT_EQ(g_reported.where, "window procedure");
  EXPECT_EQ(g_reported.what, "probe failure");
  ::SendMessageW(button.get(), kCountedMessage, 0, 0);
  EXPECT_EQ(probe.counted, 1);
}

// ---------------------------------------------------------------------------

struct thread_probe {
  std::atomic<int> runs{0};
  bool throw_instead = false;
};

UINT __cdecl probe_thread(LPVOID parameter) {
  auto* probe = static_cast<thread_probe*>(parameter);
  // The probe may be gone once `runs` moved: read everything first.
  const bool throw_instead = probe->throw_instead;
  ++probe->runs;
  if (throw_instead) throw std::runtime_error("worker failure");
  return 42;
}

// A second handle to the thread, which outlives the CWinThread.
afx_kernel_handle duplicate(HANDLE thread) {
  HANDLE copy = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &copy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  return afx_kernel_handle(copy);
}

bool handle_is_open(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(WorkerThread, SuspendedThreadRunsOnResumeAndDeletesItself) {
  thread_probe probe;
  CWinThread* thread =
      AfxBeginThread(&probe_thread, &probe, THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(thread->m_bAutoDelete);
  EXPECT_EQ(thread->GetThreadPriority(), THREAD_PRIORITY_BELOW_NORMAL);
  const HANDLE own_handle = thread->m_hThread;
  const afx_kernel_handle watch = duplicate(own_handle);
  ASSERT_TRUE(watch.IsValid());
  EXPECT_EQ(probe.runs.load(), 0);

  EXPECT_EQ(thread->ResumeThread(), 1u);  // it was suspended once
  ASSERT_EQ(::WaitForSingleObject(watch.Get(), kThreadTimeoutMs), WAIT_OBJECT_0);
  DWORD exit_code = 0;
  ASSERT_TRUE(::GetExitCodeThread(watch.Get(), &exit_code));
  EXPECT_EQ(exit_code, 42u);
  EXPECT_EQ(probe.runs.load(), 1);
  // The object went away with the thread and closed its handle.
  EXPECT_FALSE(handle_is_open(own_handle));
}

TEST(WorkerThread, WithoutAutoDeleteTheObjectOutlivesTheThread) {
  thread_probe probe;
  CWinThread* thread = AfxBeginThread(&probe_thread, &probe, THREAD_PRIORITY_NORMAL, 0,
                                      CREATE_SUSPENDED);
  ASSERT_NE(thread, nullptr);
  thread->m_bAutoDelete = FALSE;
  thread->ResumeThread();
  ASSERT_EQ(::WaitForSingleObject(thread->m_hThread, kThreadTimeoutMs), WAIT_OBJECT_0);
  DWORD exit_code = 0;
  EXPECT_TRUE(::GetExitCodeThread(thread->m_hThread, &exit_code));
  EXPECT_EQ(exit_code, 42u);
  const HANDLE own_handle = thread->m_hThread;
  delete thread;
  EXPECT_FALSE(handle_is_open(own_handle));
}

TEST(WorkerThread, ExceptionEndsTheThreadWithItsOwnCode) {
  scoped_reporter reporter;
  thread_probe probe;
  probe.throw_instead = true;
  CWinThread* thread = AfxBeginThread(&probe_thread, &probe, THREAD_PRIORITY_NORMAL, 0,
                                      CREATE_SUSPENDED);
  ASSERT_NE(thread, nullptr);
  const afx_kernel_handle watch = duplicate(thread->m_hThread);
  thread->ResumeThread();
  ASSERT_EQ(::WaitForSingleObject(watch.Get(), kThreadTimeoutMs), WAIT_OBJECT_0);
  DWORD exit_code = 0;
  ASSERT_TRUE(::GetExitCodeThread(watch.Get(), &exit_code));
  EXPECT_EQ(exit_code, kAfxThreadExceptionExitCode);
  EXPECT_EQ(g_reported.where, "thread procedure");
  EXPECT_EQ(g_reported.what, "worker failure");
}

TEST(WorkerThread, StartsAtOnceWithoutSuspension) {
  thread_probe probe;
  ASSERT_NE(AfxBeginThread(&probe_thread, &probe), nullptr);
  const ULONGLONG deadline = ::GetTickCount64() + kThreadTimeoutMs;
  while (probe.runs.load() == 0 && ::GetTickCount64() < deadline) ::Sleep(1);
  EXPECT_EQ(probe.runs.load(), 1);
}

// ---------------------------------------------------------------------------

TEST(WaitCursor, ShowsTheHourglassWhileAlive) {
  const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
  ::SetCursor(arrow);
  {
    CWaitCursor wait;
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_TRUE(CWaitCursor::IsActive());
  }
  EXPECT_EQ(::GetCursor(), arrow);
  EXPECT_FALSE(CWaitCursor::IsActive());
}

}  // namespace
