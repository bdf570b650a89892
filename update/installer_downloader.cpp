#include "update/installer_downloader.h"

#include "support/file_exists.h"
#include "support/file_information.h"
#include "support/held_file.h"
#include "support/md5.h"
#include "support/path_utils.h"
#include "support/publisher_signature.h"
#include "support/system_log.h"
#include "support/text_utils.h"
#include "update/download_request.h"
#include "update/http_client.h"
#include "update/update_server.h"

#include <cstdio>
#include <memory>

namespace {

const wchar_t kTemporarySuffix[] = L".tmp";
const wchar_t kWriteBinary[] = L"wb";
constexpr DWORD kStatusOk = 200;
constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

const char kManifestRequestLine[] = "get_data_by_wininet DownloadLtFile";
const wchar_t kFileRequestLine[] = L"get_data_by_wininet DownloadFile %s \x21D2 %s";
const char kResultLine[] = "get_data_by_wininet ret %d res %d.";
const wchar_t kHashLine[] = L"get_data_by_wininet lt hash %s file hash %s.";
const wchar_t kMoveLine[] = L"MoveFileEx(%s -> %s) ret %d err %d.";
const wchar_t kHashMismatchLine[] = L"error: lt hash %s file hash %s.";

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_stream = std::unique_ptr<std::FILE, file_closer>;

// Sends `request` and logs the outcome. True only for an answer of 200; the
// proxy credentials in effect then are remembered for the next request.
bool fetch(HWND parent, http_request& request, std::vector<char>& body, std::string& proxy_user,
           std::string& proxy_password) {
  DWORD status = 0;
  std::string headers;
  const DWORD result = get_data_by_wininet(parent, request, status, headers, body);
  g_system_log.write_a(my_system_log::level_result, kResultLine, static_cast<int>(result),
                       static_cast<int>(status));
  if (result != ERROR_SUCCESS || status != kStatusOk) return false;
  proxy_user = get_captured_proxy_user();
  proxy_password = get_captured_proxy_password();
  return true;
}

}  // namespace

CInstallerDownloader::CInstallerDownloader(std::wstring update_server, std::wstring publisher)
    : update_server_(std::move(update_server)), publisher_(std::move(publisher)) {}

CInstallerDownloader::~CInstallerDownloader() = default;

bool CInstallerDownloader::DownloadLtFile(HWND parent) {
  new_major_released = false;
  new_major_version.clear();
  new_major_url.clear();
  latest_md5.clear();
  latest_url.clear();
  latest_manual_md5.clear();
  latest_manual_url.clear();

  http_request request =
      prepare_download_request(wide_to_ansi(update_server_) + kManifestTarget, proxy_user, proxy_password);
  g_system_log.write_a(my_system_log::level_trace, kManifestRequestLine);
  std::vector<char> body;
  if (!fetch(parent, request, body, proxy_user, proxy_password)) return false;
  return ParseManifest(body);
}

bool CInstallerDownloader::DownloadFile(HWND parent, const std::wstring& url,
                                        const std::wstring& destination,
                                        const std::wstring& expected_md5) {
  if (!CreateDirectoryTree(destination)) return false;

  http_request request = prepare_download_request(wide_to_ansi(url), proxy_user, proxy_password);
  g_system_log.write_w(my_system_log::level_trace, kFileRequestLine, url.c_str(), destination.c_str());
  std::vector<char> body;
  if (!fetch(parent, request, body, proxy_user, proxy_password)) return false;
  if (body.empty()) return false;

  const std::wstring temporary = destination + kTemporarySuffix;
  {
    file_stream file(_wfopen(temporary.c_str(), kWriteBinary));
    if (!file) return false;
    // A short write shows as a wrong MD5 text below.
    std::fwrite(body.data(), 1, body.size(), file.get());
  }
  // The body is on disk: give its memory back before digesting.
  std::vector<char>().swap(body);

  file_information written;
  written.Load(temporary);
  const std::wstring actual_md5 = written.GetMd5();
  g_system_log.write_w(my_system_log::level_milestone, kHashLine, expected_md5.c_str(),
                       actual_md5.c_str());

  // A file whose digest could not be taken has an empty MD5 text, which
  // never counts as a match, not even with an empty expected text.
  if (actual_md5.empty() || !same_md5_text(expected_md5, actual_md5)) {
    g_system_log.write_w(my_system_log::level_failure, kHashMismatchLine, expected_md5.c_str(),
                         actual_md5.c_str());
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  // A file that is not the publisher's is treated as one whose digest
  // differs: it never takes the place of the installer already there.
  {
    held_file held(temporary);
    if (!check_publisher_signature(held, publisher_).trusted) {
      held.Release();
      ::DeleteFileW(temporary.c_str());
      return false;
    }
  }
  const BOOL moved = ::MoveFileExW(temporary.c_str(), destination.c_str(), kMoveFlags);
  const DWORD error = ::GetLastError();
  g_system_log.write_w(my_system_log::level_failure, kMoveLine, temporary.c_str(), destination.c_str(),
                       moved ? 1 : 0, static_cast<int>(error));
  return moved != FALSE;
}

bool CInstallerDownloader::CreateDirectoryTree(const std::wstring& path) {
  const std::wstring folder = parent_directory(path);
  if (folder.empty()) return false;
  if (directory_exists(folder)) return true;
  if (::CreateDirectoryW(folder.c_str(), nullptr)) return true;
  switch (::GetLastError()) {
    case ERROR_ALREADY_EXISTS:
      return true;
    case ERROR_PATH_NOT_FOUND:
      break;
    default:
      return false;
  }
  if (!CreateDirectoryTree(parent_of_directory(folder))) return false;
  return ::CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
}
