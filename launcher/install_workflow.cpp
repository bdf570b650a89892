// The install workflow, on its worker thread. It runs the installer at hand;
// asking the update server for a newer one joins it together with the
// update client's manifest and download steps.
#include "launcher/installer_execution.h"
#include "launcher/launcher_dlg.h"
#include "res/resource.h"

UINT __cdecl launch_installer_proc(LPVOID parameter) {
  auto& dialog = *static_cast<CLauncherDlg*>(parameter);
  workflow_window& window = dialog;
  CDataControl& data = dialog.m_dataControl;

  window.enable_install(false);
  window.show_wait_text(IDS_CHECKING_LATEST_INSTALLER);
  data.ClearInstallerInfo();
  data.installer_info.easy_install = !window.choose_folder_checked();

  data.SearchLocalInstaller(&dialog.m_bStopInstall);
  window.hide_wait_text();
  if (!dialog.m_bStopInstall) {
    RunLocalInstaller(data.installer_info, dialog.m_strInstallerOptions, window);
  }
  window.enable_install(true);
  return 0;
}
