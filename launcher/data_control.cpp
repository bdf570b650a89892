#include "launcher/data_control.h"

#include "support/file_exists.h"
#include "support/file_information.h"
#include "support/windows_facts.h"
#include "support/path_utils.h"


#include <windows.h>

namespace {

const wchar_t kCachedInstaller64[] = L"%temp%\\vlr6setup\\setup64.exe";
const wchar_t kCachedInstaller32[] = L"%temp%\\vlr6setup\\setup32.exe";
const wchar_t kBundledInstaller64[] = L"\\vlr6setup\\setup64.exe";
const wchar_t kBundledInstaller32[] = L"\\vlr6setup\\setup32.exe";
const wchar_t kBundledManual[] = L"\\vlr6setup\\vl6manual.pdf";

bool stop_requested(const stop_flag* stop) { return stop == nullptr || stop->load() != 0; }

std::wstring md5_text_of(const std::wstring& path) {
  file_information information;
  information.Load(path);
  return information.GetMd5();
}

std::wstring cached_installer() {
  return normalize_path(Is64BitOS() ? kCachedInstaller64 : kCachedInstaller32);
}

// A cached file counts only when it lies in the held cache folder itself,
// reached by no link: then its name cannot be made to lead elsewhere.
verified_installer held_in(const private_folder& folder, const std::wstring& path, checked_file checked = {}) {
  verified_installer installer(path, std::move(checked));
  if (!folder.Contains(installer.FinalPath())) return verified_installer();
  return installer;
}

std::wstring bundled(const wchar_t* relative) { return normalize_path(launcher_directory() + relative); }

}  // namespace

CDataControl::CDataControl() {
  ClearInstallerInfo();
  ClearManualInfo();
}

CDataControl::~CDataControl() = default;

void CDataControl::ClearInstallerInfo() {
  installer_info = ::installer_info();
  ReleaseInstallers();
}

void CDataControl::ReleaseInstallers() {
  installer_at_hand_ = verified_installer();
  downloaded_installer_ = verified_installer();
  cache_folder_ = private_folder();
}

void CDataControl::ClearManualInfo() { manual_info = ::manual_info(); }

void CDataControl::SearchLocalInstaller(const stop_flag* stop) {
  if (stop_requested(stop)) return;
  installer_info.location = installer_info::location_none;

  // A cached download wins over the installer beside the launcher.
  std::wstring candidate = cached_installer();
  cache_folder_ = private_folder(parent_directory(candidate), private_folder::existing_only);
  if (cache_folder_.IsHeld() && path_exists(candidate)) {
    installer_info.location = installer_info::location_temp_cache;
    installer_at_hand_ = held_in(cache_folder_, candidate);
  } else {
    candidate = bundled(Is64BitOS() ? kBundledInstaller64 : kBundledInstaller32);
    if (!path_exists(candidate)) return;
    installer_info.location = installer_info::location_beside_launcher;
    installer_at_hand_ = verified_installer(candidate);
  }
  installer_info.installer_path = candidate;
  installer_info.installer_md5 = installer_at_hand_.Md5();
}

void CDataControl::SetDownloadPath(const stop_flag* stop) {
  if (stop_requested(stop)) return;
  const std::wstring destination = cached_installer();
  if (!cache_folder_.IsHeld()) {
    cache_folder_ = private_folder(parent_directory(destination), private_folder::make_if_missing);
  }
  if (!cache_folder_.IsHeld()) return;
  installer_info.download_path = destination;
  if (installer_at_hand_.Path() == installer_info.download_path) installer_at_hand_.Release();
}

void CDataControl::InspectDownloadedInstaller(const stop_flag* stop) { InspectDownloadedInstaller(stop, checked_file()); }

void CDataControl::InspectDownloadedInstaller(const stop_flag* stop, checked_file download) {
  if (stop_requested(stop)) return;
  installer_info.downloaded_md5.clear();
  const std::wstring& path = installer_info.download_path;
  if (!path.empty() && path_exists(path)) {
    downloaded_installer_ = held_in(cache_folder_, path, std::move(download));
    installer_info.downloaded_md5 = downloaded_installer_.Md5();
  }
}

void CDataControl::SearchLocalManual(const stop_flag* stop) {
  if (stop_requested(stop)) return;
  manual_info.location = manual_info::location_none;
  const std::wstring candidate = bundled(kBundledManual);
  if (!path_exists(candidate)) return;
  manual_info.location = manual_info::location_beside_launcher;
  manual_info.manual_path = candidate;
  manual_info.manual_md5 = md5_text_of(candidate);
}
