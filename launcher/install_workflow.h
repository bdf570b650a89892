#pragma once
// The install workflow: which installer runs (the one at hand, or the newest
// one downloaded and verified), what the user is told, and what happens when
// the manifest or the download cannot be had. Plain logic over the window
// interface, so that it runs the same on the dialog's worker thread and in
// tests without a window.
#include "framework/afx_worker.h"
#include "launcher/data_control.h"
#include "launcher/installer_execution.h"
#include "launcher/workflow_window.h"
#include "update/manifest_signing.h"

#include <string>

// What one run of the install workflow works on.
struct install_run {
  workflow_window& window;
  CDataControl& data;                   // only installer_info is written
  std::wstring update_server;           // where the manifest is asked for
  installer_settings settings;          // options passed on, publisher required
  const stop_flag& stop;                // raised when the dialog goes away
  manifest_signing signing{};           // whether the manifest must be signed, and by whom
};

// The whole run, from disabling Install to enabling it again. The installers
// the run holds are let go of when it ends.
void run_install_workflow(install_run& run);

// Tells the user of a newer product generation the manifest announced. True
// when the install is to stop (the user asked for its page, or declined the
// old generation); false when there is no announcement or the user goes on.
// The page opens only when it is a web page (is_web_address).
bool ConfirmNewMajorVersion(const installer_info& info, workflow_window& window);

// After the newest installer could not be had: decides by where the installer
// at hand came from whether it is used, asking the user where that calls for
// it. Deletes a cached installer when no manifest could be read.
void FallBackToLocalInstaller(CDataControl& data, const installer_settings& settings,
                              workflow_window& window);
