// The install workflow, on its worker thread. It runs the installer at hand;
// asking the update server for a newer one joins it together with the
// update client's manifest and download steps.
#include "app/launcher_app.h"
#include "framework/afx_app.h"
#include "launcher/installer_execution.h"
#include "launcher/launcher_dlg.h"
#include "res/resource.h"

#include <string>

namespace {

void show_progress(CLauncherDlg& dialog, UINT text_id) {
  CEasyProgress* progress = dialog.m_pProgress.get();
  if (!progress || !progress->m_hWnd) return;
  progress->SetWaitText(AfxLoadString(text_id).c_str());
  progress->ShowWindow(SW_SHOW);
}

void hide_progress(CLauncherDlg& dialog) {
  CEasyProgress* progress = dialog.m_pProgress.get();
  if (progress && progress->m_hWnd) progress->ShowWindow(SW_HIDE);
}

}  // namespace

UINT __cdecl launch_installer_proc(LPVOID parameter) {
  auto& dialog = *static_cast<CLauncherDlg*>(parameter);
  CDataControl& data = theApp.m_dataControl;

  dialog.m_btnInstall.EnableWindow(FALSE);
  dialog.m_chkChooseFolder.EnableWindow(FALSE);
  show_progress(dialog, IDS_CHECKING_LATEST_INSTALLER);
  data.ClearInstallerInfo();
  data.installer_info.easy_install = dialog.m_chkChooseFolder.GetCheck() != BST_CHECKED;

  data.SearchLocalInstaller(&dialog.m_bStopInstall);
  hide_progress(dialog);
  if (!dialog.m_bStopInstall) RunLocalInstaller();

  dialog.m_btnInstall.EnableWindow(TRUE);
  dialog.m_chkChooseFolder.EnableWindow(TRUE);
  return 0;
}
