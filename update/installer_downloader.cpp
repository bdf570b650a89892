#include "update/installer_downloader.h"

#include "support/file_entry.h"
#include "support/folder_tree.h"
#include "support/held_file.h"
#include "support/md5.h"
#include "support/path_utils.h"
#include "support/publisher_check_warm_up.h"
#include "support/publisher_signature.h"
#include "support/staged_file.h"
#include "support/system_log.h"
#include "support/text_utils.h"
#include "support/windows_facts.h"
#include "update/carried_credentials.h"
#include "update/download_request.h"
#include "update/http_client.h"
#include "update/manifest_reader.h"
#include "update/update_server.h"

#include <future>
#include <utility>

namespace {

const char kManifestRequestLine[] = "get_data_by_wininet DownloadLtFile";
const char kSignatureRequestLine[] = "get_data_by_wininet DownloadLtFile signature";
const wchar_t kManifestRefusedLine[] = L"manifest refused: %s.";
const char kSerialNotKeptLine[] = "error: manifest serial %I64u could not be kept.";
const wchar_t kFileRequestLine[] = L"get_data_by_wininet DownloadFile %s \x21D2 %s";
const char kResultLine[] = "get_data_by_wininet ret %d res %d.";
const wchar_t kHashLine[] = L"get_data_by_wininet lt hash %s file hash %s.";
const wchar_t kMoveLine[] = L"MoveFileEx(%s -> %s) ret %d err %d.";
const wchar_t kHashMismatchLine[] = L"error: lt hash %s file hash %s.";
const wchar_t kWriteFailedLine[] = L"error: %s of %s failed: error %d, %d of %d bytes written.";
const wchar_t kStagedNameTakenLine[] = L"error: %s is a folder, a link or in use and cannot be replaced: not downloaded.";

// Sends `request` and logs the outcome. True only for an answer of 200; the
// proxy credentials in effect then are remembered for the next request.
bool fetch(HWND parent, http_request& request, std::vector<char>& body, std::string& proxy_user,
           std::string& proxy_password) {
  const fetch_answer answer = fetch_carrying_credentials(parent, request, body, proxy_user, proxy_password);
  g_system_log.write_a(my_system_log::level_result, kResultLine, static_cast<int>(answer.result),
                       static_cast<int>(answer.status));
  return answer.ok();
}

}  // namespace

CInstallerDownloader::CInstallerDownloader(std::wstring publisher, manifest_signing signing)
    : publisher_(std::move(publisher)), signing_(std::move(signing)) {}

CInstallerDownloader::~CInstallerDownloader() = default;

bool CInstallerDownloader::DownloadLtFile(HWND parent, const std::wstring& update_server) {
  new_major_released = false;
  new_major_version.clear();
  new_major_url.clear();
  latest_md5.clear();
  latest_url.clear();
  latest_manual_md5.clear();
  latest_manual_url.clear();

  http_request request =
      prepare_download_request(wide_to_ansi(update_server) + kManifestTarget, proxy_user, proxy_password);
  request.body_limit = kManifestSizeLimit;
  g_system_log.write_a(my_system_log::level_trace, kManifestRequestLine);
  std::vector<char> body;
  if (!fetch(parent, request, body, proxy_user, proxy_password)) return false;
  if (!signing_.required) return ParseManifest(body);

  manifest_freshness freshness;
  if (!AcceptSignedManifest(parent, update_server, body, freshness)) return false;
  if (!ParseManifest(body)) return false;
  if (signing_.serials && !signing_.serials->raise(freshness.serial)) {
    g_system_log.write_a(my_system_log::level_result, kSerialNotKeptLine,
                         static_cast<unsigned long long>(freshness.serial));
  }
  return true;
}

bool CInstallerDownloader::AcceptSignedManifest(HWND parent, const std::wstring& update_server,
                                                const std::vector<char>& body, manifest_freshness& freshness) {
  http_request request =
      prepare_download_request(wide_to_ansi(update_server) + kManifestSignatureTarget, proxy_user, proxy_password);
  request.body_limit = kManifestSignatureSizeLimit;
  g_system_log.write_a(my_system_log::level_trace, kSignatureRequestLine);
  std::vector<char> signature;
  // A signature that cannot be had is judged as none.
  if (!fetch(parent, request, signature, proxy_user, proxy_password)) signature.clear();
  const manifest_judgement judgement =
      judge_signed_manifest(body, signature, signing_, Is64BitOS(), current_utc_seconds());
  if (!judgement.accepted) {
    g_system_log.write_w(my_system_log::level_failure, kManifestRefusedLine, judgement.refusal.c_str());
    return false;
  }
  freshness = judgement.freshness;
  return true;
}

bool CInstallerDownloader::DownloadFile(HWND parent, const std::wstring& url,
                                        const std::wstring& destination,
                                        const std::wstring& expected_md5, size_t size_limit) {
  checked_download_ = checked_file();
  if (!CreateDirectoryTree(destination)) return false;
  // The publisher check's first run in a process is slow: warmed up while
  // the body arrives.
  publisher_check_warm_up warm_up;

  http_request request = prepare_download_request(wide_to_ansi(url), proxy_user, proxy_password);
  request.body_limit = size_limit;
  g_system_log.write_w(my_system_log::level_trace, kFileRequestLine, url.c_str(), destination.c_str());
  std::vector<char> body;
  if (!fetch(parent, request, body, proxy_user, proxy_password)) return false;
  if (body.empty()) return false;

  // The download is written to a file made new: a name left from an earlier
  // run goes first, and one that is a link goes as a link, never written
  // through (nor is its target removed).
  const std::wstring temporary = staged_path(destination);
  if (examine_entry(temporary) != entry_kind::missing && !remove_entry_itself(temporary)) {
    g_system_log.write_w(my_system_log::level_failure, kStagedNameTakenLine, temporary.c_str());
    return false;
  }
  const file_write_result write = write_new_file(temporary, body.data(), body.size());
  if (write.failed == file_write_step::open) return false;
  if (!write) {
    // A full disk or a lost network share: say so, rather than let it show
    // up as a digest that differs from the manifest's.
    g_system_log.write_w(my_system_log::level_failure, kWriteFailedLine, file_write_step_name(write.failed),
                         temporary.c_str(), static_cast<int>(write.error), static_cast<int>(write.written),
                         static_cast<int>(body.size()));
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  // The body is on disk: give its memory back before digesting.
  std::vector<char>().swap(body);

  // Held from here on, so that it may be moved but never written: the bytes
  // digested are the bytes checked, and the file moved into place carries
  // its digest and verdict (TakeCheckedDownload). A file someone else holds
  // open for writing cannot be held, and has no digest.
  checked_file checked{held_file(temporary, held_file::movable), signature_verdict(), std::wstring()};
  // The digest and the publisher check each read the whole file: they read
  // it side by side, the digest on a thread of its own (through a mapping,
  // leaving the handle's file pointer to the check). The check's verdict is
  // logged after the digest's, as the order of the two decisions has it.
  std::future<std::wstring> digest =
      std::async(std::launch::async | std::launch::deferred, [&held = checked.file] {
        return held.IsHeld() ? md5_text_of(held.Handle()) : std::wstring();
      });
  warm_up.Wait();
  const signature_verdict verdict = judge_publisher_signature(checked.file, publisher_);
  checked.md5 = digest.get();
  g_system_log.write_w(my_system_log::level_milestone, kHashLine, expected_md5.c_str(),
                       checked.md5.c_str());

  // A file whose digest could not be taken has an empty MD5 text, which
  // never counts as a match, not even with an empty expected text.
  if (checked.md5.empty() || !same_md5_text(expected_md5, checked.md5)) {
    g_system_log.write_w(my_system_log::level_failure, kHashMismatchLine, expected_md5.c_str(),
                         checked.md5.c_str());
    checked.file.Release();
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  // A file that is not the publisher's is treated as one whose digest
  // differs: it never takes the place of the installer already there.
  log_signature_verdict(checked.file, verdict);
  checked.verdict = verdict;
  if (!checked.verdict.trusted) {
    checked.file.Release();
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  const file_move_result move = move_into_place(temporary, destination);
  g_system_log.write_w(my_system_log::level_failure, kMoveLine, temporary.c_str(), destination.c_str(),
                       move.moved ? 1 : 0, static_cast<int>(move.error));
  if (!move.moved) return false;
  checked.file.Moved(destination);
  checked_download_ = std::move(checked);
  return true;
}

checked_file CInstallerDownloader::TakeCheckedDownload() {
  return std::exchange(checked_download_, checked_file());
}

bool CInstallerDownloader::CreateDirectoryTree(const std::wstring& path) {
  return make_folder_tree(parent_directory(path));
}

bool CInstallerDownloader::ParseManifest(const std::vector<char>& body) {
  return ParseManifest(body, Is64BitOS());
}

bool CInstallerDownloader::ParseManifest(const std::vector<char>& body, bool system_is_64bit) {
  const manifest_values values = read_manifest(body, system_is_64bit);
  // Only what this body gave replaces what the object held, as when the
  // values were stored line by line: every value a line gives is non-empty.
  const auto take = [](std::wstring& field, const std::wstring& value) {
    if (!value.empty()) field = value;
  };
  if (values.new_major_released) new_major_released = true;
  take(new_major_version, values.new_major_version);
  take(new_major_url, values.new_major_url);
  take(latest_md5, values.installer.md5);
  take(latest_url, values.installer.url);
  take(latest_manual_md5, values.manual.md5);
  take(latest_manual_url, values.manual.url);
  return values.accepted;
}
