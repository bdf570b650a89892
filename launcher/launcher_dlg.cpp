#include "launcher/launcher_dlg.h"

#include "framework/afx_app.h"
#include "framework/afx_wait_cursor.h"
#include "launcher/install_workflow.h"
#include "launcher/installer_execution.h"
#include "launcher/launcher_pages.h"
#include "launcher/manual_workflow.h"
#include "support/file_information.h"
#include "support/path_utils.h"
#include "support/system_log.h"
#include "support/windows_facts.h"

#include <boost/format.hpp>

#include <string>

namespace {

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 440;
constexpr COLORREF kWhite = RGB(255, 255, 255);

struct button_layout {
  int x, y;
  UINT normal, selected, focus, disabled, hover;
};
constexpr button_layout kInstallLayout{125, 242, IDB_INSTALL_NORMAL, IDB_INSTALL_PRESSED,
                                       IDB_INSTALL_HOVER, IDB_INSTALL_NORMAL, IDB_INSTALL_HOVER};
constexpr button_layout kGuideLayout{125, 342, IDB_GUIDE_NORMAL, IDB_GUIDE_PRESSED,
                                     IDB_GUIDE_HOVER, IDB_GUIDE_NORMAL, IDB_GUIDE_HOVER};
constexpr button_layout kReaderLayout{393, 342, IDB_READER, 0, 0, 0, 0};
constexpr button_layout kCloseLayout{515, 401, IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED,
                                     IDB_CLOSE_HOVER, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER};
constexpr POINT kCheckBoxPosition{215, 303};
constexpr int kVersionRightEdge = 495;
constexpr int kVersionTop = 405;
const wchar_t kVersionFormat[] = L"ver.%s";

// The elevation shield of the system library; systems whose user32 lacks it
// get the system's shield icon instead.
const wchar_t kShieldLibrary[] = L"user32";
constexpr WORD kShieldIconId = 106;
constexpr WORD kSystemShieldId = 32518;  // OIC_SHIELD
constexpr int kShieldSize = 32;

constexpr UINT kQuietInstallDelayMs = 300;

const char kInstallThreadFailedLine[] = "CLauncherDlg launch_installer_proc beginthread error 0x%x";
const char kManualThreadFailedLine[] = "CLauncherDlg launch_manual_proc beginthread error 0x%x";

void place_button(CzBitmapButton& button, const button_layout& layout) {
  button.SetWindowPos(nullptr, layout.x, layout.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  button.LoadBitmaps(layout.normal, layout.selected, layout.focus, layout.disabled, layout.hover);
  button.SizeToContent();
}

}  // namespace

CLauncherDlg::CLauncherDlg(CDataControl& data, const std::wstring& update_server,
                           const std::wstring& installer_options, const std::wstring& publisher,
                           const manifest_signing& signing, BOOL quiet_mode, CWnd* parent)
    : CDialog(IDD, parent),
      m_hAppIcon(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_APP))),
      m_brWhite(kWhite),
      m_dataControl(data),
      m_strUpdateServer(update_server),
      m_strInstallerOptions(installer_options),
      m_strPublisher(publisher),
      m_manifestSigning(signing),
      m_bQuietMode(quiet_mode) {}

CLauncherDlg::~CLauncherDlg() {
  DestroyProgress();
  m_bStopInstall = 1;
  m_bStopManual = 1;
  m_manualThread.End(afx_worker::kTerminatedExitCode);
  m_installThread.End(afx_worker::kTerminatedExitCode);
}

void CLauncherDlg::DoDataExchange() {
  DDX_Control(IDOK, m_btnInstall);
  DDX_Control(IDC_CHOOSE_FOLDER, m_chkChooseFolder);
  DDX_Control(IDC_GUIDE, m_btnGuide);
  DDX_Control(IDC_READER, m_btnReader);
  DDX_Control(IDCANCEL, m_btnClose);
  DDX_Control(IDC_VERSION, m_stVersion);
}

BOOL CLauncherDlg::OnInitDialog() {
  RECT window{0, 0, kClientWidth, kClientHeight};
  CalcWindowRect(&window);
  SetWindowPos(nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
               SWP_NOMOVE | SWP_NOZORDER);

  CDialog::OnInitDialog();

  SetWindowText(AfxLoadString(IDS_WINDOW_TITLE).c_str());
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hAppIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hAppIcon));

  place_button(m_btnInstall, kInstallLayout);
  m_chkChooseFolder.SetWindowPos(nullptr, kCheckBoxPosition.x, kCheckBoxPosition.y, 0, 0,
                                 SWP_NOSIZE | SWP_NOZORDER);
  m_chkChooseFolder.SetWindowText(AfxLoadString(IDS_CHOOSE_FOLDER).c_str());
  place_button(m_btnGuide, kGuideLayout);
  place_button(m_btnReader, kReaderLayout);

  const std::wstring own_path = normalize_path(own_module_path());
  if (!own_path.empty()) {
    file_information information;
    information.ReadVersionInfo(own_path);
    m_stVersion.SetWindowText(
        boost::str(boost::wformat(kVersionFormat) % information.GetFileVersion()).c_str());
  }
  RECT label{};
  m_stVersion.GetWindowRect(&label);
  m_stVersion.SetWindowPos(nullptr, kVersionRightEdge - (label.right - label.left), kVersionTop, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER);

  place_button(m_btnClose, kCloseLayout);
  GiveInstallTheShield();

  // No control is drawn focused at start.
  for (CWnd* control : {static_cast<CWnd*>(&m_btnInstall), static_cast<CWnd*>(&m_chkChooseFolder),
                        static_cast<CWnd*>(&m_btnGuide), static_cast<CWnd*>(&m_btnReader),
                        static_cast<CWnd*>(&m_btnClose)}) {
    control->PostMessage(WM_KILLFOCUS, 0, 0);
  }

  if (m_bQuietMode) SetTimer(kQuietInstallTimer, kQuietInstallDelayMs);
  return FALSE;
}

void CLauncherDlg::GiveInstallTheShield() {
  m_btnInstall.m_bDrawIcon = TRUE;
  HICON shield = nullptr;
  if (HMODULE user32 = ::LoadLibraryW(kShieldLibrary)) {
    shield = static_cast<HICON>(::LoadImageW(user32, MAKEINTRESOURCEW(kShieldIconId), IMAGE_ICON,
                                             kShieldSize, kShieldSize, LR_DEFAULTCOLOR));
  }
  if (!shield) {
    shield = static_cast<HICON>(::LoadImageW(nullptr, MAKEINTRESOURCEW(kSystemShieldId), IMAGE_ICON,
                                             kShieldSize, kShieldSize, LR_DEFAULTCOLOR));
  }
  m_btnInstall.m_hIcon.Reset(shield);
  // Some button implementations keep an image only on an icon button; the
  // button is owner-drawn, so the style changes nothing else.
  m_btnInstall.ModifyStyle(0, BS_ICON);
  m_btnInstall.SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(shield));
}

void CLauncherDlg::DestroyProgress() {
  if (!m_pProgress) return;
  if (m_pProgress->m_hWnd) m_pProgress->DestroyWindow();
  m_pProgress.reset();
}

void CLauncherDlg::OnOK() {
  // Install is disabled while its workflow runs, but a quiet start's timer
  // may still fire after a click: the running workflow keeps its window.
  if (m_installThread.IsRunning()) return;
  DestroyProgress();
  m_pProgress = std::make_unique<CEasyProgress>();
  if (m_pProgress->Create(m_pProgress->m_nTemplateID, nullptr)) {
    m_pProgress->CenterWindow(nullptr);
    m_pProgress->ShowWindow(SW_HIDE);
  }
  m_pProgress->BeginProgressThread();
  StartInstallThread();
}

void CLauncherDlg::OnCancel() {
  if (m_installThread.IsRunning() || m_manualThread.IsRunning()) return;
  CDialog::OnCancel();
}

void CLauncherDlg::OnOpenGuide() { StartManualThread(); }

void CLauncherDlg::OnOpenReaderPage() {
  if (ShellOpen(m_hWnd, kReaderPage, SW_SHOWNORMAL)) {
    AfxMessageBox(IDS_READER_REQUIRED, MB_OK | MB_ICONINFORMATION);
  }
}

HCURSOR CLauncherDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hAppIcon); }

HBRUSH CLauncherDlg::OnCtlColor(HDC dc, CWnd* control, UINT kind) {
  if (kind == CTLCOLOR_MSGBOX || kind == CTLCOLOR_EDIT || kind == CTLCOLOR_LISTBOX) {
    return CDialog::OnCtlColor(dc, control, kind);
  }
  const HWND window = control ? control->GetSafeHwnd() : nullptr;
  if (window && window == m_chkChooseFolder.GetSafeHwnd()) return m_brWhite;
  if (kind == CTLCOLOR_STATIC && window && !::IsWindowEnabled(window)) {
    return CDialog::OnCtlColor(dc, control, kind);
  }
  ::SetBkMode(dc, TRANSPARENT);
  return m_brWhite;
}

void CLauncherDlg::OnTimer(UINT_PTR id) {
  if (id != kQuietInstallTimer) {
    CDialog::OnTimer(id);
    return;
  }
  KillTimer(kQuietInstallTimer);
  OnOK();
}

void CLauncherDlg::OnPaint() {
  if (!::IsIconic(m_hWnd)) {
    CDialog::OnPaint();
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  GetClientRect(&client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_hAppIcon);
  ::EndPaint(m_hWnd, &paint);
}

bool CLauncherDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == WM_QUERYDRAGICON) {
    result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
    return true;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    if (LOWORD(wparam) == IDC_GUIDE) {
      OnOpenGuide();
      result = 0;
      return true;
    }
    if (LOWORD(wparam) == IDC_READER) {
      OnOpenReaderPage();
      result = 0;
      return true;
    }
  }
  return CDialog::OnMessage(message, wparam, lparam, result);
}

BOOL CLauncherDlg::StartInstallThread() {
  return StartThread(m_installThread, &launch_installer_proc, kInstallThreadFailedLine);
}

BOOL CLauncherDlg::StartManualThread() {
  return StartThread(m_manualThread, &launch_manual_proc, kManualThreadFailedLine);
}

BOOL CLauncherDlg::StopInstallThread() { return m_installThread.Stop(); }

BOOL CLauncherDlg::StopManualThread() { return m_manualThread.Stop(); }

BOOL CLauncherDlg::StartThread(afx_worker& thread, AFX_THREADPROC procedure, const char* failure_line) {
  // The thread bodies cast their argument back to the dialog.
  if (thread.Start(procedure, this)) return TRUE;
  g_system_log.write_a(my_system_log::level_milestone, failure_line,
                       static_cast<unsigned int>(::GetLastError()));
  return FALSE;
}

UINT __cdecl CLauncherDlg::launch_installer_proc(LPVOID dialog) {
  auto& self = *static_cast<CLauncherDlg*>(dialog);
  install_run run{self, self.m_dataControl, self.m_strUpdateServer,
                  {self.m_strInstallerOptions, self.m_strPublisher}, self.m_bStopInstall, self.m_manifestSigning};
  run_install_workflow(run);
  return 0;
}

UINT __cdecl CLauncherDlg::launch_manual_proc(LPVOID dialog) {
  auto& self = *static_cast<CLauncherDlg*>(dialog);
  manual_run run{self, self.m_dataControl, self.m_strUpdateServer, self.m_bStopManual, self.m_manifestSigning};
  run_manual_workflow(run);
  return 0;
}

// workflow_window: called on the workers' threads. The controls' messages
// are delivered to the window's own thread by the system.

HWND CLauncherDlg::owner() const { return m_hWnd; }

void CLauncherDlg::enable_install(bool enable) {
  for (CWnd* control : {static_cast<CWnd*>(&m_btnInstall), static_cast<CWnd*>(&m_chkChooseFolder)}) {
    if ((control->IsWindowEnabled() != FALSE) != enable) control->EnableWindow(enable ? TRUE : FALSE);
  }
}

bool CLauncherDlg::choose_folder_checked() const {
  return m_chkChooseFolder.GetCheck() == BST_CHECKED;
}

void CLauncherDlg::enable_guide(bool enable) {
  if ((m_btnGuide.IsWindowEnabled() != FALSE) != enable) m_btnGuide.EnableWindow(enable ? TRUE : FALSE);
}

void CLauncherDlg::show_wait_text(UINT text_id) {
  CEasyProgress* progress = m_pProgress.get();
  if (!progress || !progress->m_hWnd) return;
  progress->SetWaitText(AfxLoadString(text_id).c_str());
  progress->ShowWindow(SW_SHOW);
}

void CLauncherDlg::hide_wait_text() {
  CEasyProgress* progress = m_pProgress.get();
  if (progress && progress->m_hWnd) progress->ShowWindow(SW_HIDE);
}

void CLauncherDlg::begin_wait_cursor() { AfxBeginWaitCursor(); }

void CLauncherDlg::end_wait_cursor() { AfxEndWaitCursor(); }

int CLauncherDlg::message_box(UINT text_id, UINT style, const std::wstring& insert) {
  if (insert.empty()) return AfxMessageBox(text_id, style);
  return AfxMessageBox(AfxFormatString(text_id, insert).c_str(), style);
}

bool CLauncherDlg::open_page(HWND owner, const std::wstring& target, int show) {
  return ShellOpen(owner, target, show);
}
