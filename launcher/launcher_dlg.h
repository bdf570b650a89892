#pragma once
// The launcher's one window (template 102): background picture, Install, the
// destination-folder check box, the guide and PDF reader buttons, the version
// label and close. Install and the guide button start their workflows on
// worker threads; the window cannot be closed while either runs.
#include "controls/bitmap_button.h"
#include "controls/easy_progress.h"
#include "framework/afx_controls.h"
#include "framework/afx_dialog.h"
#include "framework/afx_gdi.h"
#include "framework/afx_thread.h"
#include "launcher/stop_flag.h"

#include <memory>

class CLauncherDlg : public CDialog {
public:
  enum { IDD = 102 };

  explicit CLauncherDlg(CWnd* parent = nullptr);
  // Raises both stop flags, waits up to 1 s for each worker and terminates
  // one that is still running.
  ~CLauncherDlg() override;

  BOOL StartInstallThread();
  BOOL StartManualThread();
  // TRUE when the thread has ended (or there is none).
  BOOL StopInstallThread();
  BOOL StopManualThread();

  // Read by the workflows (which get the dialog as their thread argument).
  stop_flag m_bStopInstall{0};
  stop_flag m_bStopManual{0};
  HICON m_hAppIcon = nullptr;  // shared resource icon: never destroyed
  CButton m_chkChooseFolder;
  CzBitmapButton m_btnInstall;
  CzBitmapButton m_btnGuide;
  CzBitmapButton m_btnReader;
  CzBitmapButton m_btnClose;
  CStatic m_stVersion;
  CBrush m_brWhite;
  std::unique_ptr<CEasyProgress> m_pProgress;    // the current install's
  std::unique_ptr<CWinThread> m_pInstallThread;  // not auto-deleted
  std::unique_ptr<CWinThread> m_pManualThread;   // not auto-deleted

  // The timer that presses Install by itself on a quiet start.
  static constexpr UINT_PTR kQuietInstallTimer = 0x8014;

protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override;
  void OnTimer(UINT_PTR id) override;
  void OnPaint() override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

  void OnOpenGuide();
  void OnOpenReaderPage();
  HCURSOR OnQueryDragIcon();

private:
  void DestroyProgress();
  void GiveInstallTheShield();
  BOOL StartThread(std::unique_ptr<CWinThread>& thread, stop_flag& stop, AFX_THREADPROC procedure,
                   const char* failure_line);
  static BOOL StopThread(const std::unique_ptr<CWinThread>& thread, stop_flag& stop);
  static void EndThread(std::unique_ptr<CWinThread>& thread, stop_flag& stop);
};

// The workflows' thread bodies; the argument is the CLauncherDlg.
UINT __cdecl launch_installer_proc(LPVOID dialog);
UINT __cdecl launch_manual_proc(LPVOID dialog);
