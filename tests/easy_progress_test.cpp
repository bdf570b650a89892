// The please-wait window: its size (fitted to the longer message in the bold
// font), that it has no taskbar button, its white inside and blue frame, the
// hidden progress bar, and the animation thread's start and end.
#include "controls/easy_progress.h"
#include "support/windows_facts.h"
#include "res/resource.h"
#include "support/system_libraries.h"
#include "tests/fixtures_window/window_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kFrameBlue = RGB(20, 99, 166);
constexpr int kTextControl = IDC_WAIT_TEXT;
constexpr int kBarControl = IDC_WAIT_PROGRESS;
constexpr RECT kTemplateDialog{0, 0, 211, 78};  // dialog units
constexpr RECT kTemplateText{0, 0, 197, 28};
constexpr int kBarBottomOffset = 20;
constexpr LONG kTextHeight = 18;
constexpr UINT kMetricsSize = 504;
constexpr DWORD kAnimationTimeoutMs = 5000;
// Stopping the animation takes one of its 100 ms steps; the window's own limit
// is 5000 ms.
constexpr ULONGLONG kQuickStopMs = 1000;

using font_handle = afx_scoped_handle<afx_gdi_object_traits<HFONT>>;

std::wstring load_string(UINT id) {
  const wchar_t* resource = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id,
                                   reinterpret_cast<LPWSTR>(&resource), 0);
  return length > 0 ? std::wstring(resource, length) : std::wstring();
}

std::wstring window_text(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 511);
  return text;
}

// The text font as the window builds it: the message font of the system's
// metrics, bold, 18 pixels high.
HFONT create_text_font() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = kMetricsSize;
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kMetricsSize, &metrics, 0)) return nullptr;
  LOGFONTW font = metrics.lfMessageFont;
  font.lfWidth = 0;
  if (IsNt6OrLater()) {
    font.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynW(font.lfFaceName, L"MS UI Gothic", LF_FACESIZE);
  }
  font.lfHeight = kTextHeight;
  font.lfWeight = FW_BOLD;
  return ::CreateFontIndirectW(&font);
}

RECT rect_in_parent(HWND child) {
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT dialog_units(HWND dialog, RECT units) {
  ::MapDialogRect(dialog, &units);
  return units;
}

HANDLE duplicate(HANDLE thread) {
  HANDLE copy = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &copy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  return copy;
}

class ProgressWindow : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    const comctl32_functions* comctl32 = comctl32_library();
    ASSERT_NE(comctl32, nullptr);
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    comctl32->InitCommonControlsEx(&classes);
  }

  // As the launcher makes it: created without a parent, centred, hidden.
  void create() {
    ASSERT_TRUE(progress->Create(progress->m_nTemplateID, nullptr));
    progress->CenterWindow(nullptr);
    progress->ShowWindow(SW_HIDE);
  }

  HWND window() const { return progress->GetSafeHwnd(); }
  HWND text() const { return ::GetDlgItem(window(), kTextControl); }
  HWND bar() const { return ::GetDlgItem(window(), kBarControl); }

  std::unique_ptr<CEasyProgress> progress = std::make_unique<CEasyProgress>();
};

TEST_F(ProgressWindow, FitsTheLongerMessageInTheBoldFontAndKeepsItsSize) {
  create();
  const std::wstring checking = load_string(IDS_CHECKING_LATEST_INSTALLER);
  const size_t line_break = checking.find(L'\n');
  ASSERT_NE(line_break, std::wstring::npos);
  const std::wstring first_line = checking.substr(0, line_break);

  font_handle font(create_text_font());
  ASSERT_TRUE(font.IsValid());
  SIZE measured{};
  HDC dc = ::GetDC(window());
  {
    afx_scoped_select selected(dc, font.Get());
    ::GetTextExtentPoint32W(dc, first_line.c_str(), static_cast<int>(first_line.size()), &measured);
  }
  ::ReleaseDC(window(), dc);

  const RECT dialog_template = dialog_units(window(), kTemplateDialog);
  const RECT text_template = dialog_units(window(), kTemplateText);
  // The line is wider than the template's text control, so the window grows.
  ASSERT_GT(measured.cx, text_template.right);
  const int horizontal_margin = dialog_template.right - text_template.right;
  const int vertical_margin = dialog_template.bottom - text_template.bottom;
  const int text_width = measured.cx;
  const int text_height = std::max<int>(text_template.bottom, measured.cy);

  const auto check_layout = [&](const char* when) {
    SCOPED_TRACE(when);
    RECT client{}, outer{};
    ::GetClientRect(window(), &client);
    ::GetWindowRect(window(), &outer);
    EXPECT_EQ(client.right, text_width + horizontal_margin);
    EXPECT_EQ(client.bottom, std::max<int>(dialog_template.bottom, text_height + vertical_margin));
    EXPECT_EQ(outer.right - outer.left, client.right) << "no frame";
    EXPECT_EQ(outer.bottom - outer.top, client.bottom) << "no frame";

    const RECT text_rect = rect_in_parent(text());
    EXPECT_EQ(text_rect.left, horizontal_margin / 2);
    EXPECT_EQ(text_rect.top, vertical_margin / 2);
    EXPECT_EQ(text_rect.right - text_rect.left, text_width);
    EXPECT_EQ(text_rect.bottom - text_rect.top, text_height);

    const RECT bar_rect = rect_in_parent(bar());
    EXPECT_EQ(bar_rect.left, horizontal_margin / 2);
    EXPECT_EQ(bar_rect.top, client.bottom - kBarBottomOffset);
    EXPECT_EQ(bar_rect.right - bar_rect.left, text_width);
  };
  check_layout("after creation");

  const std::wstring downloading = load_string(IDS_DOWNLOADING_LATEST_INSTALLER);
  progress->SetWaitText(downloading.c_str());
  EXPECT_EQ(window_text(text()), downloading);
  check_layout("after the second message");

  progress->SetWaitText(nullptr);
  EXPECT_EQ(window_text(text()), L"");
}

TEST_F(ProgressWindow, HasNoTaskbarButtonAndTheBarStaysHidden) {
  create();
  EXPECT_EQ(::GetWindowLongW(window(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  EXPECT_NE(::GetWindowLongW(window(), GWL_STYLE) & WS_POPUP, 0);
  EXPECT_EQ(::GetWindow(window(), GW_OWNER), nullptr);
  EXPECT_EQ(::GetWindowLongW(window(), GWL_STYLE) & WS_CAPTION, 0);

  ASSERT_NE(bar(), nullptr);
  EXPECT_EQ(::GetWindowLongW(bar(), GWL_STYLE) & WS_VISIBLE, 0);
  ASSERT_TRUE(progress->BeginProgressThread());
  progress->SetWaitText(load_string(IDS_CHECKING_LATEST_INSTALLER).c_str());
  progress->ShowWindow(SW_SHOW);
  EXPECT_TRUE(::IsWindowVisible(window()));
  EXPECT_TRUE(::IsWindowVisible(text()));
  // The animation steps the bar all the same.
  EXPECT_TRUE(pump_until([&] { return ::SendMessageW(bar(), PBM_GETPOS, 0, 0) >= 3; },
                         kAnimationTimeoutMs));
  EXPECT_FALSE(::IsWindowVisible(bar()));
  EXPECT_EQ(::SendMessageW(bar(), PBM_GETRANGE, FALSE, 0), 255);
  progress->ShowWindow(SW_HIDE);
  EXPECT_FALSE(::IsWindowVisible(window()));
}

TEST_F(ProgressWindow, WhiteInsideAOnePixelBlueFrame) {
  create();
  RECT client{};
  ::GetClientRect(window(), &client);
  dib_canvas canvas(client.right, client.bottom);
  ASSERT_TRUE(canvas.valid());
  canvas.fill(RGB(0, 0, 0));
  EXPECT_TRUE(::SendMessageW(window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0));

  int wrong_frame = 0, wrong_inside = 0;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      const bool frame = x == 0 || y == 0 || x == client.right - 1 || y == client.bottom - 1;
      const std::uint32_t expected = dib_colour(frame ? kFrameBlue : kWhite);
      if (canvas.pixel(x, y) != expected) ++(frame ? wrong_frame : wrong_inside);
    }
  }
  EXPECT_EQ(wrong_frame, 0);
  EXPECT_EQ(wrong_inside, 0);

  // The text: blue, bold, on a transparent background over the white brush.
  dib_canvas text_canvas(4, 4);
  const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
      window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(text_canvas.dc()),
      reinterpret_cast<LPARAM>(text())));
  LOGBRUSH brush_info{};
  ASSERT_EQ(::GetObjectW(brush, sizeof(brush_info), &brush_info), static_cast<int>(sizeof(brush_info)));
  EXPECT_EQ(brush_info.lbStyle, static_cast<UINT>(BS_SOLID));
  EXPECT_EQ(brush_info.lbColor, kWhite);
  EXPECT_EQ(::GetTextColor(text_canvas.dc()), kFrameBlue);
  EXPECT_EQ(::GetBkMode(text_canvas.dc()), TRANSPARENT);
  LOGFONTW font{};
  ::GetObjectW(::GetCurrentObject(text_canvas.dc(), OBJ_FONT), sizeof(font), &font);
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  EXPECT_EQ(font.lfHeight, kTextHeight);
}

// The same as shown on the display: the frame, white around the text, and
// blue text pixels inside the text control.
TEST_F(ProgressWindow, ShownOnTheDisplay) {
  create();
  progress->SetWaitText(load_string(IDS_CHECKING_LATEST_INSTALLER).c_str());
  ::SetWindowPos(window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RECT client{};
  ::GetClientRect(window(), &client);
  dib_canvas canvas(client.right, client.bottom);
  const auto capture = [&] {
    pump_pending();
    ::RedrawWindow(window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HDC screen = ::GetDC(window());
    ::BitBlt(canvas.dc(), 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    ::ReleaseDC(window(), screen);
    return canvas.pixel(0, 0) == dib_colour(kFrameBlue);
  };
  ASSERT_TRUE(pump_until(capture, kAnimationTimeoutMs));
  const RECT text_rect = rect_in_parent(text());
  int frame_wrong = 0, margin_wrong = 0, text_blue = 0;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      const bool frame = x == 0 || y == 0 || x == client.right - 1 || y == client.bottom - 1;
      const POINT at{x, y};
      const std::uint32_t pixel = canvas.pixel(x, y);
      if (frame) {
        frame_wrong += pixel != dib_colour(kFrameBlue);
      } else if (!::PtInRect(&text_rect, at)) {
        margin_wrong += pixel != dib_colour(kWhite);
      } else {
        text_blue += pixel == dib_colour(kFrameBlue);
      }
    }
  }
  EXPECT_EQ(frame_wrong, 0);
  EXPECT_EQ(margin_wrong, 0);
  EXPECT_GT(text_blue, 0);
}

TEST_F(ProgressWindow, ASecondStartWhileRunningStartsNoSecondThread) {
  create();
  ASSERT_TRUE(progress->BeginProgressThread());
  CWinThread* first = progress->progress_thread();
  ASSERT_NE(first, nullptr);
  const HANDLE first_handle = first->m_hThread;
  EXPECT_TRUE(progress->BeginProgressThread());
  EXPECT_EQ(progress->progress_thread(), first);
  EXPECT_EQ(progress->progress_thread()->m_hThread, first_handle);
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeThread(first_handle, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
}

// Destroying the window (or, without one, the object) while the animation
// runs ends the thread by its stop flag, at once, not by the 5 s limit.
struct ending_case {
  const char* name;
  bool with_window;
};

class ProgressEnd : public ProgressWindow, public ::testing::WithParamInterface<ending_case> {};

TEST_P(ProgressEnd, TheAnimationStopsQuickly) {
  if (GetParam().with_window) {
    create();
    progress->ShowWindow(SW_SHOW);
  }
  ASSERT_TRUE(progress->BeginProgressThread());
  const HANDLE thread = duplicate(progress->progress_thread()->m_hThread);
  ASSERT_NE(thread, nullptr);
  if (GetParam().with_window) {
    // Let the animation reach the bar before the window goes.
    ASSERT_TRUE(pump_until([&] { return ::SendMessageW(bar(), PBM_GETPOS, 0, 0) >= 2; },
                           kAnimationTimeoutMs));
    // Not pumping for longer than one step: the next update is pending when
    // the window goes.
    ::Sleep(150);
  }

  const ULONGLONG start = ::GetTickCount64();
  if (GetParam().with_window) {
    EXPECT_TRUE(progress->DestroyWindow());
    EXPECT_EQ(progress->progress_thread(), nullptr);
  }
  progress.reset();
  const ULONGLONG elapsed = ::GetTickCount64() - start;

  EXPECT_LT(elapsed, kQuickStopMs);
  EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 0u) << "ended by its stop flag, not terminated";
  ::CloseHandle(thread);
  pump_pending();
}

const ending_case kEndingCases[] = {{"window_destroyed", true}, {"never_created", false}};

INSTANTIATE_TEST_SUITE_P(Cases, ProgressEnd, ::testing::ValuesIn(kEndingCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
