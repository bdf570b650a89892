#include "tests/support/unix_links.h"

#include "framework/afx_handle.h"
#include "tests/support/test_files.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

using unix_name_function = char*(CDECL*)(const wchar_t*);

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// Runs a Unix shell command and gives its exit code (~0 when it could not
// run or did not end in 30 s). Wine starts Unix programs but gives no handle
// to wait on, so the command leaves its exit code in a file of its own.
DWORD run_unix(const std::string& shell_command) {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring status = std::wstring(temp) + L"unix-status-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(counter++);
  ::DeleteFileW(status.c_str());
  const std::string status_unix = unix_path_of(status);
  if (status_unix.empty()) return ~0u;
  const std::string script = shell_command + "; echo $? > " + quoted(status_unix + ".part") + " && mv " +
                             quoted(status_unix + ".part") + " " + quoted(status_unix);
  const std::string command_line = "/bin/sh -c \"" + script + "\"";
  std::wstring command(command_line.begin(), command_line.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return ~0u;
  }
  const afx_kernel_handle thread(process.hThread);
  const afx_kernel_handle owned(process.hProcess);
  for (int waited = 0; waited < 3000; ++waited) {
    const std::string code = read_file(status);
    if (!code.empty()) {
      ::DeleteFileW(status.c_str());
      return static_cast<DWORD>(std::strtoul(code.c_str(), nullptr, 10));
    }
    ::Sleep(10);
  }
  return ~0u;
}

}  // namespace

std::string unix_path_of(const std::wstring& windows_path) {
  const auto to_unix = reinterpret_cast<unix_name_function>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  if (!to_unix) return std::string();
  if (char* name = to_unix(windows_path.c_str())) {
    std::string path(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return path;
  }
  // Wine names only what exists: a name still to be made is its folder's
  // path and the name.
  const size_t separator = windows_path.find_last_of(L'\\');
  if (separator == std::wstring::npos || separator + 1 == windows_path.size()) return std::string();
  const std::string folder = unix_path_of(windows_path.substr(0, separator));
  const std::wstring name = windows_path.substr(separator + 1);
  if (folder.empty()) return std::string();
  return folder + "/" + std::string(name.begin(), name.end());
}

bool make_unix_link(const std::wstring& target, const std::wstring& link) {
  const std::string from = unix_path_of(target);
  const std::string at = unix_path_of(link);
  if (from.empty() || at.empty()) return false;
  return run_unix("/bin/ln -sfn " + quoted(from) + " " + quoted(at)) == 0;
}

bool make_hard_link(const std::wstring& existing, const std::wstring& name) {
  const std::string from = unix_path_of(existing);
  const std::string at = unix_path_of(name);
  if (from.empty() || at.empty()) return false;
  return run_unix("/bin/ln -f " + quoted(from) + " " + quoted(at)) == 0;
}

bool remove_unix_link(const std::wstring& link) {
  const std::string at = unix_path_of(link);
  return !at.empty() && run_unix("/bin/rm -f " + quoted(at)) == 0;
}

bool is_unix_link(const std::wstring& path) {
  const std::string at = unix_path_of(path);
  return !at.empty() && run_unix("/usr/bin/test -L " + quoted(at)) == 0;
}

bool links_can_be_addressed() {
  const temp_folder probe(L"link-probe");
  const std::wstring target = probe.path() + L"target";
  const std::wstring link = probe.path() + L"link";
  if (!::CreateDirectoryW(target.c_str(), nullptr) || !make_unix_link(target, link)) return false;
  const afx_file_handle entry(::CreateFileW(link.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                            nullptr));
  FILE_ATTRIBUTE_TAG_INFO tag{};
  const bool addressed = entry.IsValid() && ::GetFileInformationByHandleEx(entry.Get(), FileAttributeTagInfo, &tag, sizeof(tag)) &&
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  remove_unix_link(link);
  return addressed;
}
