#pragma once
// The launcher's store of facts about what it can install or open: the local
// installer and manual it found, with their MD5 texts, the values the
// workflows copy from the update server's manifest, and where a download goes.
#include "framework/afx_worker.h"
#include "launcher/verified_installer.h"
#include "support/private_folder.h"
#include "support/windows_facts.h"

#include <cstdint>
#include <string>

struct installer_info {
  enum : std::int32_t { location_none = 0, location_beside_launcher = 1, location_temp_cache = 2 };

  std::int32_t location = location_none;
  bool easy_install = true;          // false: the user chooses the destination folder
  std::wstring installer_path;       // the local installer found
  std::wstring installer_md5;
  std::wstring latest_md5;           // from the manifest
  std::wstring latest_url;           // from the manifest
  std::wstring download_path;        // the temporary-folder cache target
  std::wstring downloaded_md5;
  bool new_major_released = false;   // the manifest announces a newer generation
  std::wstring new_major_version;
  std::wstring new_major_url;
};

struct manual_info {
  enum : std::int32_t { location_none = 0, location_beside_launcher = 1 };

  std::int32_t location = location_none;
  std::wstring manual_path;
  std::wstring manual_md5;
  std::wstring latest_manual_md5;    // from the manifest
  std::wstring latest_manual_url;    // from the manifest
};

// One instance, theApp.m_dataControl. installer_info is written only by the
// install workflow, manual_info only by the manual workflow.
//
// The search operations do nothing at all when `stop` is null or raised.
class CDataControl {
public:
  CDataControl();
  virtual ~CDataControl();

  void ClearInstallerInfo();
  void ClearManualInfo();

  // The installer for this system: first in "%temp%\vlr6setup\", then in the
  // "vlr6setup" folder beside the launcher. The installer found is held (see
  // verified_installer) before its MD5 text is taken. The cache counts only
  // as the launcher's own folder (private_folder), held from here on: a
  // linked cache is no cache, and one of another account is not looked into.
  void SearchLocalInstaller(const stop_flag* stop);
  // Names the temporary-folder cache file a download goes to, making the
  // cache folder when it is missing and holding it. A cached installer found
  // there is let go of: the download is to replace it. A cache folder that
  // cannot be the launcher's own leaves download_path empty: nothing can be
  // downloaded, as with a cache that cannot be written.
  void SetDownloadPath(const stop_flag* stop);
  // The MD5 text of the file at download_path, held before it is taken.
  void InspectDownloadedInstaller(const stop_flag* stop);
  // The same, for the file `download` (the downloader's own check of the
  // file it moved into place): when the installer found is that very file,
  // its MD5 text and verdict are taken over rather than read again.
  void InspectDownloadedInstaller(const stop_flag* stop, checked_file download);
  // The installers the last search and inspection hold, with their MD5 texts
  // and signers. Clearing the installer record lets go of both.
  verified_installer& InstallerAtHand() { return installer_at_hand_; }
  verified_installer& DownloadedInstaller() { return downloaded_installer_; }
  // Whether either installer is held now.
  bool HoldsInstaller() const { return installer_at_hand_.IsHeld() || downloaded_installer_.IsHeld(); }
  // Lets go of both installers and of the cache folder: a run has ended, its
  // installer started or not.
  void ReleaseInstallers();
  // The PDF manual beside the launcher.
  void SearchLocalManual(const stop_flag* stop);

  ::installer_info installer_info;
  ::manual_info manual_info;

private:
  // Written only by the install workflow, like installer_info.
  verified_installer installer_at_hand_;
  verified_installer downloaded_installer_;
  private_folder cache_folder_;
};
