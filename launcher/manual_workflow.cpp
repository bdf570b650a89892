// The manual workflow, on its worker thread: opens the manual beside the
// launcher. Comparing it with the newest manual on the update server joins it
// together with the update client's manifest step.
#include "launcher/launcher_dlg.h"

UINT __cdecl launch_manual_proc(LPVOID parameter) {
  auto& dialog = *static_cast<CLauncherDlg*>(parameter);
  workflow_window& window = dialog;
  CDataControl& data = dialog.m_dataControl;

  window.enable_guide(false);
  data.ClearManualInfo();
  data.SearchLocalManual(&dialog.m_bStopManual);
  if (!dialog.m_bStopManual && data.manual_info.location == manual_info::location_beside_launcher) {
    window.open_page(nullptr, data.manual_info.manual_path, SW_SHOW);
  }
  window.enable_guide(true);
  return 0;
}
