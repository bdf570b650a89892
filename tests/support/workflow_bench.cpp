#include "tests/support/workflow_bench.h"

#include "support/md5.h"
#include "support/windows_facts.h"
#include "tests/support/local_update_server.h"

#include <windows.h>

namespace {

std::wstring server_state() { return local_update_server::state(); }
std::wstring server_root() { return server_state() + L"\\root\\"; }

// Where tools/setup_standin puts each build.
std::wstring standin_path(workflow_bench::installer_build build) {
  const wchar_t* folder = L"";
  switch (build) {
    case workflow_bench::older: folder = L""; break;
    case workflow_bench::newer: folder = L"newer\\"; break;
    case workflow_bench::foreign: folder = L"foreign\\"; break;
    case workflow_bench::orphan: folder = L"orphan\\"; break;
    case workflow_bench::unsigned_older: folder = L"unsigned\\"; break;
  }
  return path_from_environment("VELORA_BUILD_DIR") + L"\\tools\\setup_standin\\" + folder +
         workflow_bench::installer_name();
}

std::wstring backslashed(const std::string& path) {
  std::wstring text(path.begin(), path.end());
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  return text;
}

void make_folders_for(const std::wstring& file) {
  for (size_t slash = file.find(L'\\', 3); slash != std::wstring::npos;
       slash = file.find(L'\\', slash + 1)) {
    ::CreateDirectoryW(file.substr(0, slash).c_str(), nullptr);
  }
}

}  // namespace

workflow_bench::workflow_bench(const std::wstring& temp_name, const std::wstring& launcher_folder)
    : launcher_folder_(launcher_folder.empty() ? launcher_directory() : launcher_folder) {
  temp_ = work_.path() + temp_name + L"\\";
  ::CreateDirectoryW(temp_.c_str(), nullptr);
  wchar_t saved[MAX_PATH] = {};
  ::GetEnvironmentVariableW(L"TEMP", saved, MAX_PATH);
  saved_temp_ = saved;
  ::SetEnvironmentVariableW(L"TEMP", temp_.c_str());
  record_ = work_.path() + L"record.txt";
  ::SetEnvironmentVariableW(L"VELORA_SETUP_RECORD", record_.c_str());
  ::SetEnvironmentVariableW(L"VELORA_SETUP_BEHAVIOUR", L"exit 0");
  remove_tree(beside_folder());
  ::DeleteFileW((server_root() + L"launcher\\installer6.lt").c_str());
  rules("{}");
  write_file(server_state() + L"\\record.jsonl", "");
}

workflow_bench::~workflow_bench() {
  rules("{}");
  remove_tree(beside_folder());
  ::SetEnvironmentVariableW(L"TEMP", saved_temp_.c_str());
}

std::wstring workflow_bench::installer_name() { return Is64BitOS() ? L"setup64.exe" : L"setup32.exe"; }

std::string workflow_bench::architecture() { return Is64BitOS() ? "64bit" : "32bit"; }

void workflow_bench::put_cached(installer_build build) {
  ::CreateDirectoryW(cache_folder().c_str(), nullptr);
  write_file(cached_installer(), bytes_of(build));
}

void workflow_bench::put_beside(installer_build build) {
  ::CreateDirectoryW(beside_folder().c_str(), nullptr);
  write_file(beside_installer(), bytes_of(build));
}

void workflow_bench::put_manual(const std::string& bytes) {
  ::CreateDirectoryW(beside_folder().c_str(), nullptr);
  write_file(beside_manual(), bytes);
}

std::string workflow_bench::bytes_of(installer_build build) const { return read_file(standin_path(build)); }

std::string workflow_bench::md5_of(installer_build build) const { return md5_of_bytes(bytes_of(build)); }

std::string workflow_bench::md5_of_bytes(const std::string& bytes) {
  return md5_text_of(bytes.data(), bytes.size());
}

void workflow_bench::serve_manifest(const std::string& text) {
  serve_file("/launcher/installer6.lt", text);
}

void workflow_bench::serve_file(const std::string& path, const std::string& bytes) {
  const std::wstring file = server_root() + backslashed(path.substr(1));
  make_folders_for(file);
  write_file(file, bytes);
}

void workflow_bench::serve_manifest_for_standins() {
  const std::wstring tools = path_from_environment("VELORA_BUILD_DIR") + L"\\tools\\setup_standin\\";
  serve_manifest("velora launcher manifest 6\r\n64bit 6.0.1.0 " +
                 md5_of_bytes(read_file(tools + L"setup64.exe")) + " " + url("/download/setup64.exe") +
                 "\r\n32bit 6.0.1.0 " + md5_of_bytes(read_file(tools + L"setup32.exe")) + " " +
                 url("/download/setup32.exe") + "\r\n");
}

std::wstring workflow_bench::update_server() { return local_update_server::address(); }

std::string workflow_bench::url(const std::string& path) { return local_update_server::origin() + path; }

std::string workflow_bench::manifest_for_newer(const std::string& extra_lines) {
  return manifest_for(newer, extra_lines);
}

std::string workflow_bench::manifest_for(installer_build build, const std::string& extra_lines) {
  const std::wstring wide_name = installer_name();
  const std::string path = "/download/" + std::string(wide_name.begin(), wide_name.end());
  serve_file(path, bytes_of(build));
  return "velora launcher manifest 6\r\n" + architecture() + " 6.0.2.1 " + md5_of(build) + " " +
         url(path) + "\r\n" + extra_lines;
}

void workflow_bench::rules(const std::string& json) {
  const std::wstring control = server_state() + L"\\control.json";
  write_file(control + L".tmp", "{\"rules\": " + json + "}");
  ::MoveFileExW((control + L".tmp").c_str(), control.c_str(), MOVEFILE_REPLACE_EXISTING);
}

int workflow_bench::requests_for(const std::string& path) {
  const std::string text = read_file(server_state() + L"\\record.jsonl");
  const std::string wanted = "\"path\": \"" + path + "\"";
  int count = 0;
  size_t start = 0, end;
  while ((end = text.find('\n', start)) != std::string::npos) {
    const std::string line = text.substr(start, end - start);
    if (line.find("\"listener\": \"http\"") != std::string::npos &&
        line.find(wanted) != std::string::npos) {
      ++count;
    }
    start = end + 1;
  }
  return count;
}

std::vector<start_record> workflow_bench::starts() const { return parse_records(read_file(record_)); }
