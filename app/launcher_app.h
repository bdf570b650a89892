#pragma once
// The application object: the whole start-up of the launcher, and what the
// command line sets for the rest of the program.
#include "framework/afx_app.h"
#include "launcher/data_control.h"

#include <string>

class CLauncherApp : public CWinApp {
public:
  CLauncherApp();
  ~CLauncherApp() override;

  // Runs the launcher from start to the dialog's end. Returns FALSE when the
  // process should end (always, but after a lost single-instance race, which
  // returns TRUE with no main window).
  BOOL InitInstance() override;

  // Reads "/q" and "/v<options>" (a hyphen may stand for the slash) into
  // m_bQuietMode and m_strInstallerOptions. Changes `command_line` in place.
  void ParseLauncherCommandLine(std::wstring& command_line);

  std::wstring m_strInstallerOptions;  // passed on to the installer
  BOOL m_bQuietMode = 0;               // press Install by itself
  CDataControl m_dataControl;          // the local installers and manual
};

extern CLauncherApp theApp;
