#include "launcher/install_workflow.h"

#include "res/resource.h"
#include "support/md5.h"
#include "support/system_log.h"
#include "update/installer_downloader.h"
#include "update/web_address.h"

namespace {

const wchar_t kDownloadBeginLine[] = L"begin installer download";
const wchar_t kHashCheckLine[] = L"begin hash check";
const wchar_t kDownloadEndLine[] = L"end download installer.";

bool stopped(const install_run& run) { return run.stop.load() != 0; }

// The steps between disabling and enabling the controls; returning ends the run.
void install(install_run& run, CInstallerDownloader& downloader) {
  installer_info& info = run.data.installer_info;
  workflow_window& window = run.window;

  window.show_wait_text(IDS_CHECKING_LATEST_INSTALLER);
  run.data.ClearInstallerInfo();
  if (window.choose_folder_checked()) info.easy_install = false;
  if (stopped(run)) return;

  run.data.SearchLocalInstaller(&run.stop);
  if (stopped(run)) return;

  if (!downloader.DownloadLtFile(window.owner(), run.update_server)) {
    window.hide_wait_text();
    FallBackToLocalInstaller(run.data, run.settings, window);
    return;
  }
  info.latest_md5 = downloader.GetLatestMd5();
  info.latest_url = downloader.GetLatestUrl();
  info.new_major_released = downloader.new_major_released;
  info.new_major_version = downloader.GetNewMajorVersion();
  info.new_major_url = downloader.GetNewMajorUrl();
  window.hide_wait_text();

  if (ConfirmNewMajorVersion(info, window)) return;

  // The MD5 texts compared are those of the held files themselves; the
  // record's copies are for whoever reads it.
  if (info.location != installer_info::location_none &&
      (info.latest_md5.empty() || same_md5_text(run.data.InstallerAtHand().Md5(), info.latest_md5))) {
    RunLocalInstaller(info, run.data.InstallerAtHand(), run.settings, window);
    return;
  }

  window.show_wait_text(IDS_DOWNLOADING_LATEST_INSTALLER);
  g_system_log.write_w(my_system_log::level_milestone, kDownloadBeginLine);
  if (stopped(run)) return;
  run.data.SetDownloadPath(&run.stop);
  // The inventory does nothing once the stop flag is up, which leaves no
  // place to download to and no digest to compare: that is the stop, not a
  // failed download, and nothing falls back to ask the leaving user.
  if (!downloader.DownloadFile(window.owner(), info.latest_url, info.download_path, info.latest_md5)) {
    window.hide_wait_text();
    if (!stopped(run)) FallBackToLocalInstaller(run.data, run.settings, window);
    return;
  }

  g_system_log.write_w(my_system_log::level_milestone, kHashCheckLine);
  run.data.InspectDownloadedInstaller(&run.stop, downloader.TakeCheckedDownload());
  if (!same_md5_text(run.data.DownloadedInstaller().Md5(), info.latest_md5)) {
    window.hide_wait_text();
    if (!stopped(run)) FallBackToLocalInstaller(run.data, run.settings, window);
    return;
  }

  window.hide_wait_text();
  g_system_log.write_w(my_system_log::level_milestone, kDownloadEndLine);
  if (!stopped(run)) RunDownloadedInstaller(info, run.data.DownloadedInstaller(), run.settings, window);
}

// The installers a run holds, and the cache folder, let go of when the run
// ends however it ends: the installer has been started (or not), and nobody
// needs them held then.
class installers_held_for_run {
public:
  explicit installers_held_for_run(CDataControl& data) : data_(data) {}
  installers_held_for_run(const installers_held_for_run&) = delete;
  installers_held_for_run& operator=(const installers_held_for_run&) = delete;
  ~installers_held_for_run() { data_.ReleaseInstallers(); }

private:
  CDataControl& data_;
};

}  // namespace

void run_install_workflow(install_run& run) {
  run.window.begin_wait_cursor();
  {
    CInstallerDownloader downloader(run.settings.publisher, run.signing);
    run.window.enable_install(false);
    {
      const installers_held_for_run holds(run.data);
      install(run, downloader);
    }
    run.window.hide_wait_text();
    run.window.enable_install(true);
  }
  run.window.end_wait_cursor();
}

bool ConfirmNewMajorVersion(const installer_info& info, workflow_window& window) {
  if (!info.new_major_released) return false;
  if (window.message_box(IDS_NEW_MAJOR_RELEASED_VERSION, MB_YESNO | MB_ICONINFORMATION,
                         info.new_major_version) == IDYES) {
    // The manifest names the page: anything but a web page stays unopened,
    // and the install ends as when the page could not be opened.
    if (accept_web_address(info.new_major_url)) window.open_page(nullptr, info.new_major_url, SW_SHOWNORMAL);
    return true;
  }
  return window.message_box(IDS_NEW_MAJOR_RELEASED_INSTALL_OLD, MB_YESNO | MB_ICONQUESTION) != IDYES;
}

void FallBackToLocalInstaller(CDataControl& data, const installer_settings& settings,
                              workflow_window& window) {
  const installer_info& info = data.installer_info;
  switch (info.location) {
    case installer_info::location_none:
      window.message_box(IDS_DOWNLOAD_FAILED_CANNOT_INSTALL, MB_OK | MB_ICONERROR);
      return;
    case installer_info::location_temp_cache: {
      // A cached installer is used only when it is the one the manifest names.
      // One whose digest could not be taken never counts as that one.
      const std::wstring& cached_md5 = data.InstallerAtHand().Md5();
      if (!cached_md5.empty() && same_md5_text(cached_md5, info.latest_md5)) {
        RunLocalInstaller(info, data.InstallerAtHand(), settings, window);
      } else if (!info.latest_md5.empty()) {
        window.message_box(IDS_DOWNLOAD_FAILED_CANNOT_INSTALL, MB_OK | MB_ICONERROR);
      } else {
        window.message_box(IDS_INSTALLER_INFO_FAILED, MB_OK | MB_ICONERROR);
        data.InstallerAtHand().Delete();
      }
      return;
    }
    default:
      if (window.message_box(IDS_DOWNLOAD_FAILED_USE_LOCAL, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        RunLocalInstaller(info, data.InstallerAtHand(), settings, window);
      }
      return;
  }
}
