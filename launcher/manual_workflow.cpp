// The manual workflow, on its worker thread: opens the manual beside the
// launcher. Comparing it with the newest manual on the update server joins it
// together with the update client's manifest step.
#include "app/launcher_app.h"
#include "launcher/installer_execution.h"
#include "launcher/launcher_dlg.h"

UINT __cdecl launch_manual_proc(LPVOID parameter) {
  auto& dialog = *static_cast<CLauncherDlg*>(parameter);
  CDataControl& data = theApp.m_dataControl;

  dialog.m_btnGuide.EnableWindow(FALSE);
  data.ClearManualInfo();
  data.SearchLocalManual(&dialog.m_bStopManual);
  if (!dialog.m_bStopManual && data.manual_info.location == manual_info::location_beside_launcher) {
    ShellOpen(dialog.m_hWnd, data.manual_info.manual_path, SW_SHOWNORMAL);
  }
  dialog.m_btnGuide.EnableWindow(TRUE);
  return 0;
}
