#pragma once
// The please-wait window of the install workflow: a white, frameless window
// with a one-pixel blue frame and centred bold blue text, and no taskbar
// button. The progress bar of its template stays invisible; a thread of the
// window's own steps it for as long as the window exists.
#include "framework/afx_controls.h"
#include "framework/afx_dialog.h"
#include "framework/afx_gdi.h"
#include "framework/afx_worker.h"
#include "res/resource.h"

#include <string>

class CEasyProgress : public CDialog {
public:
  enum { IDD = IDD_PROGRESS };

  CEasyProgress();
  ~CEasyProgress() override;

  // Starts the animation thread unless it runs already (TRUE then too).
  // FALSE, with a log line, when the thread cannot be started.
  BOOL BeginProgressThread();
  // Shows `text` (null counts as empty); the window keeps its size.
  void SetWaitText(const wchar_t* text);

  UINT m_nTemplateID = IDD;

  // For tests: the animation thread, or null.
  CWinThread* progress_thread() const { return m_progressThread.thread(); }

protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

private:
  using pen_handle = afx_scoped_handle<afx_gdi_object_traits<HPEN>>;
  using font_handle = afx_scoped_handle<afx_gdi_object_traits<HFONT>>;

  static UINT __cdecl ProgressThreadProc(LPVOID self);
  LRESULT OnEraseBkgnd(HDC dc);
  static HFONT CreateTextFont();

  CBrush m_brWhite;
  pen_handle m_penFrame;
  RECT m_rcClient{};
  font_handle m_fontText;
  CStatic m_static;
  std::wstring m_strText;
  CProgressCtrl m_progress;
  stop_flag m_bStopThread{0};
  // Asked to stop when the window is destroyed; waited for up to 5 s.
  afx_worker m_progressThread;
};
