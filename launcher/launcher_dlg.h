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
#include "res/resource.h"
#include "framework/afx_worker.h"
#include "launcher/data_control.h"
#include "launcher/workflow_window.h"
#include "update/manifest_signing.h"

#include <memory>
#include <string>

class CLauncherDlg : public CDialog, public workflow_window {
public:
  enum { IDD = IDD_LAUNCHER };

  // `data` is the launcher's one inventory; `update_server` the address the
  // workflows ask for the manifest (scheme, host and optional port);
  // `installer_options` the options the command line passes on to the
  // installer; `publisher` the signer an installer must have to start (empty:
  // not checked); `signing` whether the manifest must be signed (copied);
  // `quiet_mode` presses Install by itself. All the others outlive the dialog.
  CLauncherDlg(CDataControl& data, const std::wstring& update_server,
               const std::wstring& installer_options, const std::wstring& publisher,
               const manifest_signing& signing, BOOL quiet_mode, CWnd* parent = nullptr);
  // Raises both stop flags, waits up to 1 s for each worker and terminates
  // one that is still running.
  ~CLauncherDlg() override;

  BOOL StartInstallThread();
  BOOL StartManualThread();
  // TRUE when the thread has ended (or there is none).
  BOOL StopInstallThread();
  BOOL StopManualThread();

  // workflow_window, for the workflows on their worker threads.
  HWND owner() const override;
  void enable_install(bool enable) override;
  bool choose_folder_checked() const override;
  void enable_guide(bool enable) override;
  void show_wait_text(UINT text_id) override;
  void hide_wait_text() override;
  void begin_wait_cursor() override;
  void end_wait_cursor() override;
  int message_box(UINT text_id, UINT style, const std::wstring& insert) override;
  bool open_page(HWND owner, const std::wstring& target, int show) override;

  // The timer that presses Install by itself on a quiet start.
  static constexpr UINT_PTR kQuietInstallTimer = 0x8014;
  // How long the destructor waits for each worker before terminating it.
  static constexpr DWORD kThreadStopWaitMs = 1000;

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
  // The workers' bodies (the argument is this dialog): each runs its
  // workflow over this window with the dialog's inventory, update server,
  // settings and stop flag, and ends with exit code 0.
  static UINT __cdecl launch_installer_proc(LPVOID dialog);
  static UINT __cdecl launch_manual_proc(LPVOID dialog);

  void DestroyProgress();
  void GiveInstallTheShield();
  BOOL StartThread(afx_worker& thread, AFX_THREADPROC procedure, const char* failure_line);

  // Written by the main thread, polled by the workers.
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
  afx_worker m_installThread{m_bStopInstall, kThreadStopWaitMs};
  afx_worker m_manualThread{m_bStopManual, kThreadStopWaitMs};

  // What the workflows work on.
  CDataControl& m_dataControl;
  const std::wstring& m_strUpdateServer;
  const std::wstring& m_strInstallerOptions;
  const std::wstring& m_strPublisher;
  const manifest_signing m_manifestSigning;
  const BOOL m_bQuietMode;
};
