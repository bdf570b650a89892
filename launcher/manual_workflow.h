#pragma once
// The guide button's workflow: the manual at hand when it is the newest one,
// otherwise the offer of the vendor's page with the newest manual.
#include "framework/afx_worker.h"
#include "launcher/data_control.h"
#include "launcher/workflow_window.h"
#include "update/manifest_signing.h"

#include <string>

// What one run of the manual workflow works on.
struct manual_run {
  workflow_window& window;
  CDataControl& data;          // only manual_info is written
  std::wstring update_server;  // where the manifest is asked for
  const stop_flag& stop;       // raised when the dialog goes away
  manifest_signing signing{};  // whether the manifest must be signed, and by whom
};

// The whole run, from disabling the guide button to enabling it again.
void run_manual_workflow(manual_run& run);

// Opens the manifest's manual page, or the vendor's support page when the
// manifest named none or one that is not a web page (is_web_address).
void OpenSupportPage(const manual_info& info, workflow_window& window);
// Opens the manual at hand; nothing happens without one.
void OpenLocalManual(const manual_info& info, workflow_window& window);
