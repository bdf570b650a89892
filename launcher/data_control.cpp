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

std::wstring bundled(const wchar_t* relative) { return normalize_path(launcher_directory() + relative); }

}  // namespace

CDataControl::CDataControl() {
  ClearInstallerInfo();
  ClearManualInfo();
}

CDataControl::~CDataControl() = default;

void CDataControl::ClearInstallerInfo() {
  installer_info = ::installer_info();
  installer_at_hand_ = verified_installer();
  downloaded_installer_ = verified_installer();
}

void CDataControl::ClearManualInfo() { manual_info = ::manual_info(); }

void CDataControl::SearchLocalInstaller(const stop_flag* stop) {
  if (stop_requested(stop)) return;
  installer_info.location = installer_info::location_none;

  // A cached download wins over the installer beside the launcher.
  std::wstring candidate = cached_installer();
  if (path_exists(candidate)) {
    installer_info.location = installer_info::location_temp_cache;
  } else {
    candidate = bundled(Is64BitOS() ? kBundledInstaller64 : kBundledInstaller32);
    if (!path_exists(candidate)) return;
    installer_info.location = installer_info::location_beside_launcher;
  }
  installer_info.installer_path = candidate;
  installer_at_hand_ = verified_installer(candidate);
  installer_info.installer_md5 = installer_at_hand_.Md5();
}

void CDataControl::SetDownloadPath(const stop_flag* stop) {
  if (stop_requested(stop)) return;
  installer_info.download_path = cached_installer();
  if (installer_at_hand_.Path() == installer_info.download_path) installer_at_hand_.Release();
}

void CDataControl::InspectDownloadedInstaller(const stop_flag* stop) {
  if (stop_requested(stop)) return;
  installer_info.downloaded_md5.clear();
  const std::wstring& path = installer_info.download_path;
  if (!path.empty() && path_exists(path)) {
    downloaded_installer_ = verified_installer(path);
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
