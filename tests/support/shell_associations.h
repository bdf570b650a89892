#pragma once
// The shell recorder (tools/shell_recorder) as the program that opens PDF
// files and http/https addresses in the test prefix, and what it recorded.
// Tests that change these associations hold the CTest resource lock
// "shell_associations".
#include <windows.h>

#include <string>
#include <vector>

// Makes the recorder the program for ".pdf", "http" and "https".
void register_shell_recorder();

// Leaves "http" and "https" without any program, so that the shell cannot
// open a web address; register_shell_recorder gives them one again.
void remove_web_associations();

// The recorder appends to the file named by VELORA_SHELL_RECORD, which
// programs started from here (and the shell's children) inherit.
class shell_record {
public:
  explicit shell_record(const std::wstring& path);
  ~shell_record();
  shell_record(const shell_record&) = delete;
  shell_record& operator=(const shell_record&) = delete;

  // One line per opening: the target as the recorder was given it, quoted.
  std::vector<std::wstring> lines() const;
  // The lines once there are at least `count`, or as they stand after
  // `timeout_ms`: the shell starts the recorder and does not wait for it.
  std::vector<std::wstring> lines_when(size_t count, DWORD timeout_ms) const;

  // The line the recorder writes for `target`.
  static std::wstring line_for(const std::wstring& target) { return L"\"" + target + L"\""; }

private:
  std::wstring path_;
};
