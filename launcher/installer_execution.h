#pragma once
// Starting the product's installer, and the shell-open service the workflows
// share.
#include "launcher/data_control.h"
#include "launcher/verified_installer.h"
#include "launcher/workflow_window.h"
#include "support/windows_facts.h"

#include <windows.h>

#include <string>

// Result codes of ExecuteInstaller besides the installer's own exit code.
constexpr DWORD installer_still_running = WAIT_TIMEOUT;      // the normal case
constexpr DWORD installer_start_failed = 0xFFFFFFFF;         // start failed, no error code
constexpr DWORD installer_wait_failed = 0xFFFFFFFE;          // wait failed, no error code

// The verb that starts an installer: "runas" where elevation exists, else "open".
const wchar_t* installer_verb();

// Opens a document, program or URL with the shell's "open" verb, once more
// with "runas" when access was denied. Shows nothing; false on failure or for
// an empty target.
bool ShellOpen(HWND owner, const std::wstring& target, int show);

// The installer's parameter text from the check box choice (`easy_install`)
// and the options passed through on the launcher's command line;
// `with_log_option` adds the verbose installer log.
std::wstring BuildInstallerParameters(bool easy_install, const std::wstring& installer_options,
                                      bool with_log_option);

// Starts the installer at `path` in its own folder and waits up to 5 seconds.
// Returns its exit code when it ended by then, installer_still_running when
// it runs on, or the Windows error of a failed start or wait.
DWORD ExecuteInstaller(const std::wstring& path, const std::wstring& parameters);

// What every installer start needs besides the installer: the options the
// launcher's command line passes on, and the publisher whose signature an
// installer must carry to be started (empty: not checked).
struct installer_settings {
  const std::wstring& installer_options;
  const std::wstring& publisher;
};

// Runs the installer the inventory found in `info`, held by `installer` (with
// the log option only when it came from the temporary-folder cache) / the
// downloaded installer at info.download_path, held by `installer` (always
// with the log option). An installer not signed by the publisher never
// starts: the user is told, and a cached or downloaded one is deleted. Shows
// "administrator rights are required" in `window` when the installer did not
// get them.
void RunLocalInstaller(const installer_info& info, verified_installer& installer,
                       const installer_settings& settings, workflow_window& window);
void RunDownloadedInstaller(const installer_info& info, verified_installer& installer,
                            const installer_settings& settings, workflow_window& window);
