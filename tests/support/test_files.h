#pragma once
// Files and folders for tests that run under Wine.
#include <string>

// A path from the Linux side ("/work/x") as Windows names it ("Z:\work\x");
// a path that is already a Windows one comes back unchanged.
std::wstring windows_path(const std::string& path);

// The Windows path in environment variable `name` (set by CTest), or empty.
std::wstring path_from_environment(const char* name);

std::string read_file(const std::wstring& path);
void write_file(const std::wstring& path, const std::string& bytes);
bool file_exists(const std::wstring& path);
void remove_tree(const std::wstring& path);
bool copy_file(const std::wstring& from, const std::wstring& to);

// A fresh, empty folder below %TEMP% for one test, removed with the object.
// Its path ends with a backslash.
class temp_folder {
public:
  explicit temp_folder(const std::wstring& tag);
  temp_folder(const temp_folder&) = delete;
  temp_folder& operator=(const temp_folder&) = delete;
  ~temp_folder();
  const std::wstring& path() const { return path_; }

private:
  std::wstring path_;
};

// The log's switch files under C:\temp: present while the object lives.
class log_switch_files {
public:
  log_switch_files(bool full, bool booster30);
  log_switch_files(const log_switch_files&) = delete;
  log_switch_files& operator=(const log_switch_files&) = delete;
  ~log_switch_files();

  static const wchar_t* const full_path;
  static const wchar_t* const booster30_path;
};
