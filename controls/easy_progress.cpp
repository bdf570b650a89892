#include "controls/easy_progress.h"

#include "framework/afx_app.h"
#include "support/windows_facts.h"
#include "res/resource.h"
#include "support/system_log.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBrandBlue = RGB(20, 99, 166);
constexpr int kFrameWidth = 1;

constexpr UINT kNonClientMetricsSize = 504;  // NONCLIENTMETRICSW with the padded width
constexpr LONG kTextHeight = 18;             // cell height in pixels
constexpr LONG kFallbackTextHeight = -13;    // a 13-pixel-high character
const wchar_t kFaceName[] = L"MS UI Gothic";

constexpr int kProgressRangeEnd = 255;
constexpr int kProgressFirst = 1;
constexpr DWORD kProgressStepMs = 100;
constexpr int kProgressBarBottomOffset = 20;
constexpr DWORD kThreadStopWaitMs = 5000;

const char kThreadStartFailedLine[] = "progressdlg beginthread error 0x%x";

}  // namespace

CEasyProgress::CEasyProgress()
    : CDialog(IDD, nullptr), m_brWhite(kWhite), m_penFrame(::CreatePen(PS_INSIDEFRAME, kFrameWidth, kBrandBlue)),
      m_fontText(CreateTextFont()),
      m_progressThread(m_bStopThread, kThreadStopWaitMs) {}

CEasyProgress::~CEasyProgress() {
  m_progressThread.End(afx_worker::kTerminatedExitCode);
  if (::IsWindow(m_static.m_hWnd)) ::DestroyWindow(m_static.m_hWnd);
  if (::IsWindow(m_progress.m_hWnd)) ::DestroyWindow(m_progress.m_hWnd);
}

HFONT CEasyProgress::CreateTextFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = kNonClientMetricsSize;
  LOGFONTW font{};
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &metrics, 0)) {
    font = metrics.lfMessageFont;
    font.lfWidth = 0;
    if (IsNt6OrLater()) {
      font.lfQuality = ANTIALIASED_QUALITY;
      lstrcpynW(font.lfFaceName, kFaceName, LF_FACESIZE);
    }
    font.lfHeight = kTextHeight;
  } else {
    font.lfHeight = kFallbackTextHeight;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, kFaceName, LF_FACESIZE);
  }
  font.lfWeight = FW_BOLD;
  return ::CreateFontIndirectW(&font);
}

void CEasyProgress::DoDataExchange() {
  DDX_Control(IDC_WAIT_TEXT, m_static);
  DDX_Control(IDC_WAIT_PROGRESS, m_progress);
}

BOOL CEasyProgress::OnInitDialog() {
  CDialog::OnInitDialog();
  // The colour request selects the bold font into the text's device context,
  // which is all Windows needs; some static controls select their own font
  // after that request, so the text control is given the bold font as well.
  if (m_fontText.IsValid()) {
    m_static.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_fontText.Get()), FALSE);
  }

  RECT text{}, bar{};
  GetClientRect(&m_rcClient);
  m_static.GetClientRect(&text);
  m_progress.GetClientRect(&bar);
  const int horizontal_margin = (m_rcClient.right - m_rcClient.left) - text.right;
  const int vertical_margin = (m_rcClient.bottom - m_rcClient.top) - text.bottom;

  // The window fits the first line of the longer message in the bold font.
  std::wstring first_line = AfxLoadString(IDS_CHECKING_LATEST_INSTALLER);
  const size_t line_break = first_line.find(L'\n');
  first_line = line_break == std::wstring::npos ? std::wstring() : first_line.substr(0, line_break);
  SIZE measured{};
  if (HDC dc = ::GetDC(m_hWnd)) {
    {
      afx_scoped_select font(dc, m_fontText.Get());
      ::GetTextExtentPoint32W(dc, first_line.c_str(), static_cast<int>(first_line.size()), &measured);
    }
    ::ReleaseDC(m_hWnd, dc);
  }
  const int text_width = std::max<int>(text.right, measured.cx);
  const int text_height = std::max<int>(text.bottom, measured.cy);

  m_rcClient.right = std::max<LONG>(m_rcClient.right, text_width + horizontal_margin);
  m_rcClient.bottom = std::max<LONG>(m_rcClient.bottom, text_height + vertical_margin);
  // No frame: window and client sizes are the same.
  SetWindowPos(nullptr, 0, 0, m_rcClient.right - m_rcClient.left, m_rcClient.bottom - m_rcClient.top,
               SWP_NOMOVE | SWP_NOZORDER);
  m_static.SetWindowPos(nullptr, horizontal_margin / 2, vertical_margin / 2, text_width, text_height,
                        SWP_NOZORDER);
  m_progress.SetWindowPos(nullptr, horizontal_margin / 2,
                          (m_rcClient.bottom - m_rcClient.top) - kProgressBarBottomOffset, text_width,
                          bar.bottom, SWP_NOZORDER);
  m_progress.SetRange32(0, kProgressRangeEnd);
  m_progress.SetPos(0);

  // No taskbar button.
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, static_cast<LONG>(GetExStyle() & ~WS_EX_APPWINDOW));
  return TRUE;
}

BOOL CEasyProgress::BeginProgressThread() {
  if (m_progressThread.Start(&CEasyProgress::ProgressThreadProc, this)) return TRUE;
  g_system_log.write_a(my_system_log::level_milestone, kThreadStartFailedLine,
                       static_cast<unsigned int>(::GetLastError()));
  return FALSE;
}

UINT __cdecl CEasyProgress::ProgressThreadProc(LPVOID parameter) {
  auto* self = static_cast<CEasyProgress*>(parameter);
  int position = kProgressFirst;
  do {
    if (position >= kProgressRangeEnd) position = kProgressFirst;
    // Posted, never sent: a send would wait for the window's thread, which may
    // itself be waiting for this thread to end.
    const HWND dialog = self->m_hWnd;
    const HWND bar = self->m_progress.m_hWnd;
    if (dialog && ::IsWindow(dialog) && bar && ::IsWindow(bar)) {
      ::PostMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
    ::Sleep(kProgressStepMs);
    ++position;
  } while (self->m_bStopThread == 0);
  return 0;
}

void CEasyProgress::SetWaitText(const wchar_t* text) {
  m_strText = text ? text : L"";
  if (m_hWnd && m_static.m_hWnd) m_static.SetWindowText(m_strText.c_str());
}

HBRUSH CEasyProgress::OnCtlColor(HDC dc, CWnd* control, UINT kind) {
  switch (kind) {
    case CTLCOLOR_MSGBOX:
    case CTLCOLOR_EDIT:
    case CTLCOLOR_LISTBOX:
      return CDialog::OnCtlColor(dc, control, kind);
    case CTLCOLOR_STATIC:
      if (control && !control->IsWindowEnabled()) return CDialog::OnCtlColor(dc, control, kind);
      ::SetTextColor(dc, kBrandBlue);
      // Left selected: the static paints its text with it after this call.
      ::SelectObject(dc, m_fontText.Get());
      ::SetBkMode(dc, TRANSPARENT);
      return m_brWhite;
    default:
      return m_brWhite;
  }
}

LRESULT CEasyProgress::OnEraseBkgnd(HDC dc) {
  // The dialog's own erase fills the client area with the brush of its colour
  // request, which is the white brush; it is done here, first, so that the
  // frame is drawn over it rather than erased after it.
  RECT client{};
  GetClientRect(&client);
  ::FillRect(dc, &client, m_brWhite);
  {
    afx_scoped_select pen(dc, m_penFrame.Get());
    afx_scoped_select brush(dc, m_brWhite.GetSafeHandle());
    ::Rectangle(dc, client.left, client.top, client.right, client.bottom);
  }
  if (m_static.m_hWnd) ::UpdateWindow(m_static.m_hWnd);
  return TRUE;
}

bool CEasyProgress::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND:
      result = OnEraseBkgnd(reinterpret_cast<HDC>(wparam));
      return true;
    case WM_DESTROY:
      m_progressThread.End(afx_worker::kTerminatedExitCode);
      result = Default();
      return true;
    default:
      return CDialog::OnMessage(message, wparam, lparam, result);
  }
}
