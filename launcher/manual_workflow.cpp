#include "launcher/manual_workflow.h"

#include "launcher/launcher_pages.h"
#include "res/resource.h"
#include "support/md5.h"
#include "update/installer_downloader.h"
#include "update/web_address.h"

namespace {

bool stopped(const manual_run& run) { return run.stop.load() != 0; }

// The steps between disabling and enabling the guide button.
void open_manual(manual_run& run, CInstallerDownloader& downloader) {
  manual_info& info = run.data.manual_info;
  run.data.ClearManualInfo();
  if (stopped(run)) return;
  run.data.SearchLocalManual(&run.stop);
  if (stopped(run)) return;

  if (downloader.DownloadLtFile(run.window.owner(), run.update_server)) {
    info.latest_manual_md5 = downloader.GetLatestManualMd5();
    info.latest_manual_url = downloader.GetLatestManualUrl();
  }
  if (info.location != manual_info::location_none &&
      (info.latest_manual_md5.empty() || same_md5_text(info.manual_md5, info.latest_manual_md5))) {
    OpenLocalManual(info, run.window);
    return;
  }

  if (stopped(run)) return;
  if (run.window.message_box(IDS_LATEST_MANUAL_PAGE, MB_YESNO | MB_ICONINFORMATION) == IDYES) {
    OpenSupportPage(info, run.window);
    return;
  }
  if (!stopped(run)) OpenLocalManual(info, run.window);
}

}  // namespace

void run_manual_workflow(manual_run& run) {
  // Only the manifest is read here: nothing is downloaded, so no installer's
  // signer is asked for. The manifest itself decides which page opens, so a
  // signed one is checked as the install workflow checks it.
  CInstallerDownloader downloader{std::wstring(), run.signing};
  run.window.enable_guide(false);
  open_manual(run, downloader);
  run.window.enable_guide(true);
}

void OpenSupportPage(const manual_info& info, workflow_window& window) {
  // The manifest names the manual's page. An address that is not a web page
  // counts as none: the user asked for the newest manual, and the support
  // page, a build setting, is where it is found then.
  const std::wstring& page = info.latest_manual_url;
  const bool manifest_page = !page.empty() && accept_web_address(page);
  window.open_page(nullptr, manifest_page ? page : kSupportPage, SW_SHOWNORMAL);
}

void OpenLocalManual(const manual_info& info, workflow_window& window) {
  if (info.manual_path.empty()) return;
  window.open_page(nullptr, info.manual_path, SW_SHOW);
}
