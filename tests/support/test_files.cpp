#include "tests/support/test_files.h"

#include "framework/afx_handle.h"
#include "support/text_utils.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <vector>

const wchar_t* const log_switch_files::full_path = L"C:\\temp\\vlr6_launcher_syslog_full.txt";
const wchar_t* const log_switch_files::booster30_path =
    L"C:\\temp\\vlr6_launcher_syslog_booster30.txt";

std::wstring windows_path(const std::string& path) {
  std::wstring wide = ansi_to_wide(CP_UTF8, path);
  if (!wide.empty() && wide[0] == L'/') {
    for (auto& c : wide) {
      if (c == L'/') c = L'\\';
    }
    wide = L"Z:" + wide;
  }
  return wide;
}

std::wstring path_from_environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? windows_path(value) : std::wstring();
}

std::string read_file(const std::wstring& path) {
  afx_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) return std::string();
  std::string bytes;
  char chunk[65536];
  DWORD got = 0;
  while (::ReadFile(file.Get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
    bytes.append(chunk, got);
  }
  return bytes;
}

void write_file(const std::wstring& path, const std::string& bytes) {
  afx_file_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, 0, nullptr));
  if (!file.IsValid()) throw std::runtime_error("cannot create a test file");
  DWORD written = 0;
  if (!bytes.empty() &&
      !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    throw std::runtime_error("cannot write a test file");
  }
}

bool file_exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool copy_file(const std::wstring& from, const std::wstring& to) {
  return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

void remove_tree(const std::wstring& path) {
  std::wstring folder = path;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(folder.c_str());
    return;
  }
  WIN32_FIND_DATAW found;
  afx_find_handle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (search.IsValid()) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") remove_tree(folder + L"\\" + name);
    } while (::FindNextFileW(search.Get(), &found));
  }
  search.Close();
  ::RemoveDirectoryW(folder.c_str());
}

temp_folder::temp_folder(const std::wstring& tag) {
  static std::atomic<int> counter{0};
  wchar_t base[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, base);
  std::wstring root = std::wstring(base) + L"velora-tests\\";
  ::CreateDirectoryW(root.c_str(), nullptr);
  path_ = root + tag + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(counter++) + L"\\";
  remove_tree(path_);
  if (!::CreateDirectoryW(path_.c_str(), nullptr)) {
    throw std::runtime_error("cannot create a test folder");
  }
}

temp_folder::~temp_folder() { remove_tree(path_); }

log_switch_files::log_switch_files(bool full, bool booster30) {
  ::CreateDirectoryW(L"C:\\temp", nullptr);
  ::DeleteFileW(full_path);
  ::DeleteFileW(booster30_path);
  if (full) write_file(full_path, "");
  if (booster30) write_file(booster30_path, "");
}

log_switch_files::~log_switch_files() {
  ::DeleteFileW(full_path);
  ::DeleteFileW(booster30_path);
}
