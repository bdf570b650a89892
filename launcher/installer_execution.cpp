#include "launcher/installer_execution.h"

#include "framework/afx_handle.h"
#include "res/resource.h"
#include "support/file_entry.h"
#include "support/file_exists.h"
#include "support/path_utils.h"
#include "support/system_libraries.h"
#include "support/system_log.h"

#include <boost/format.hpp>

namespace {

const wchar_t kVerbOpen[] = L"open";
const wchar_t kVerbRunAs[] = L"runas";

const wchar_t kParameterFormat[] = L"/v\"%s%s%s%s\"";
const wchar_t kFixedProperties[] = L" SETUP_AE_CONVERT=1 SETUP_DESKTOP_ICON=1";
const wchar_t kEasyInstall[] = L" SETUP_EASY_INSTALL=1";
const wchar_t kChooseFolder[] = L" SETUP_EASY_INSTALL=0";
// The log lands in the installer's working folder, its own folder.
const wchar_t kLogOption[] = L" /L*v \".\\instlog.txt\"";
const wchar_t kLogName[] = L"instlog.txt";

const wchar_t kLogLinkRemovedLine[] = L"installer log %s was a link: the link was removed.";
const wchar_t kLogLinkKeptLine[] = L"installer log %s is a link that cannot be removed: the installer is not started.";

constexpr DWORD kInstallerWaitMs = 5000;
constexpr INT_PTR kShellSuccessAbove = 32;

bool lacks_administrator_rights(DWORD result) {
  return result == ERROR_ACCESS_DENIED || result == ERROR_CANCELLED;
}

// The publisher's signature is checked on the very file that starts, through
// the hold that has kept it unchanged since its MD5 text was taken.
bool may_start(verified_installer& installer, const std::wstring& publisher) {
  if (publisher.empty()) return true;
  return installer.PassesPublisherCheck(publisher);
}

// The installer, elevated, writes its log by name in its own folder: a link
// or a second name planted there would have it write over a file someone
// else chose. Such a name goes; one that cannot go stops the start.
bool clear_log_name(const std::wstring& folder) {
  const std::wstring log = folder + kLogName;
  if (examine_entry(log) != entry_kind::linked) return true;
  if (remove_entry_itself(log)) {
    g_system_log.write_w(my_system_log::level_failure, kLogLinkRemovedLine, log.c_str());
    return true;
  }
  g_system_log.write_w(my_system_log::level_failure, kLogLinkKeptLine, log.c_str());
  return false;
}

void run_installer(verified_installer& installer, bool delete_if_refused, const std::wstring& parameters,
                   const installer_settings& settings, workflow_window& window) {
  if (!may_start(installer, settings.publisher)) {
    // A file that is not there cannot start either way, and a failed start
    // shows nothing; the refusal is in the log.
    if (!installer.IsHeld() && !path_exists(installer.Path())) return;
    window.message_box(IDS_INSTALLER_PUBLISHER_UNVERIFIED, MB_OK | MB_ICONERROR);
    // A file in the cache that fails is no use to any later run.
    if (delete_if_refused) installer.Delete();
    return;
  }
  // The shell is given the held file's own name, never a path that could
  // lead elsewhere by now.
  const std::wstring path = installer.StartPath();
  if (path.empty()) {
    if (!installer.IsHeld() && !path_exists(installer.Path())) return;
    log_start_refusal(installer.Path(), installer.Signer());
    window.message_box(IDS_INSTALLER_PUBLISHER_UNVERIFIED, MB_OK | MB_ICONERROR);
    return;
  }
  if (!clear_log_name(parent_directory(path))) {
    window.message_box(IDS_INSTALLER_PUBLISHER_UNVERIFIED, MB_OK | MB_ICONERROR);
    return;
  }
  if (lacks_administrator_rights(ExecuteInstaller(path, parameters))) {
    window.message_box(IDS_ADMIN_RIGHTS_REQUIRED, MB_ICONEXCLAMATION);
  }
}

}  // namespace

const wchar_t* installer_verb() { return IsNt6OrLater() ? kVerbRunAs : kVerbOpen; }

bool ShellOpen(HWND owner, const std::wstring& target, int show) {
  if (target.empty()) return false;
  const shell32_functions* shell = shell32_library();
  if (!shell) return false;
  auto result = reinterpret_cast<INT_PTR>(
      shell->ShellExecuteW(owner, kVerbOpen, target.c_str(), nullptr, nullptr, show));
  if (result == SE_ERR_ACCESSDENIED) {
    if (!IsNt6OrLater()) return false;
    result = reinterpret_cast<INT_PTR>(
        shell->ShellExecuteW(owner, kVerbRunAs, target.c_str(), nullptr, nullptr, show));
  }
  return result > kShellSuccessAbove;
}

std::wstring BuildInstallerParameters(bool easy_install, const std::wstring& installer_options,
                                      bool with_log_option) {
  const std::wstring pass_through =
      installer_options.empty() ? std::wstring() : L" " + installer_options;
  return boost::str(boost::wformat(kParameterFormat) % kFixedProperties %
                    (easy_install ? kEasyInstall : kChooseFolder) %
                    (with_log_option ? kLogOption : L"") % pass_through);
}

DWORD ExecuteInstaller(const std::wstring& path, const std::wstring& parameters) {
  const shell32_functions* shell = shell32_library();
  if (!shell) return installer_start_failed;
  const std::wstring directory = parent_directory(path);

  SHELLEXECUTEINFOW start{};
  start.cbSize = sizeof(start);
  // Without FLAG_NO_UI the shell shows its own error box for a missing or
  // broken installer and blocks the workflow until someone closes it; a failed
  // start is the workflow's to handle (the elevation prompt is not affected).
  start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  start.hwnd = nullptr;
  start.lpVerb = installer_verb();
  // The whole path: a bare name would be looked for along the shell's own
  // search (and its App Paths), not only in the installer's folder.
  start.lpFile = path.c_str();
  start.lpParameters = parameters.c_str();
  start.lpDirectory = directory.c_str();
  start.nShow = SW_SHOWNORMAL;
  if (!shell->ShellExecuteExW(&start) || reinterpret_cast<INT_PTR>(start.hInstApp) <= kShellSuccessAbove) {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : installer_start_failed;
  }
  afx_kernel_handle process(start.hProcess);

  switch (::WaitForSingleObject(process.Get(), kInstallerWaitMs)) {
    case WAIT_TIMEOUT:
      return installer_still_running;
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: {
      DWORD exit_code = 0;
      if (!::GetExitCodeProcess(process.Get(), &exit_code)) return ::GetLastError();
      return exit_code;
    }
    default: {
      const DWORD error = ::GetLastError();
      return error != ERROR_SUCCESS ? error : installer_wait_failed;
    }
  }
}

void RunLocalInstaller(const installer_info& info, verified_installer& installer,
                       const installer_settings& settings, workflow_window& window) {
  if (info.location != installer_info::location_beside_launcher &&
      info.location != installer_info::location_temp_cache) {
    return;
  }
  if (info.installer_path.empty()) return;
  // An installer beside the launcher may sit on read-only media: no log there.
  const bool cached = info.location == installer_info::location_temp_cache;
  run_installer(installer, cached,
                BuildInstallerParameters(info.easy_install, settings.installer_options, cached),
                settings, window);
}

void RunDownloadedInstaller(const installer_info& info, verified_installer& installer,
                            const installer_settings& settings, workflow_window& window) {
  if (info.download_path.empty()) return;
  run_installer(installer, true,
                BuildInstallerParameters(info.easy_install, settings.installer_options, true),
                settings, window);
}
