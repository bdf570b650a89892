#pragma once
// The launcher's rotating plain-text log, "system.log" beside the launcher.
//
// Off unless a switch file exists when init runs: "C:\temp\vlr6_launcher_syslog_full.txt"
// writes levels up to 20, together with "...booster30.txt" levels up to 30.
// Every line is written under one named mutex shared by all threads and
// processes, and is on disk when the call returns (nothing is buffered).
#include "framework/afx_handle.h"

#include <string>

class my_system_log {
public:
  // Levels used across the launcher; a lower number is more important.
  static constexpr unsigned int level_failure = 5;    // verifying or moving a download
  static constexpr unsigned int level_result = 10;    // results and errors of whole steps
  static constexpr unsigned int level_milestone = 20; // milestones, thread-start failures
  static constexpr unsigned int level_trace = 30;

  my_system_log();
  my_system_log(const my_system_log&) = delete;
  my_system_log& operator=(const my_system_log&) = delete;
  virtual ~my_system_log();

  // Opens or creates the log mutex and reads the switch files. `directory`
  // ends with a backslash. Returns false when the mutex cannot be had or the
  // directory is null; logging then stays off.
  bool init(const wchar_t* directory);

  // Every control character of a message (tab, CR, LF, ...) is written as
  // "?": a message never adds a column or a line of its own.
  //
  // printf-style; "%s" takes a wide string. Returns true when a line was
  // written. A text that converts to nothing, or to 2048 bytes or more in the
  // ANSI code page, is not written.
  bool write_w(unsigned int level, const wchar_t* format, ...);

  // printf-style with narrow text; returns true when a line was written.
  bool write_a(unsigned int level, const char* format, ...)
      __attribute__((format(ms_printf, 3, 4)));

private:
  static constexpr size_t line_buffer_size = 2048;

  bool write_line(char* text, unsigned int level);
  bool open_for_append();
  bool rotate_if_needed();
  std::wstring generation_path(int generation) const;

  unsigned int threshold_ = 0;
  int size_limit_ = 1048576;
  int generation_count_ = 10;
  std::wstring directory_;
  std::wstring file_name_ = L"system.log";
  std::wstring path_;
  unsigned long process_id_ = 0;
  std::string user_name_;
  std::string program_name_;
  afx_kernel_handle mutex_;
  char line_buffer_[line_buffer_size] = {};

  // The output stream: opened before and closed after every line, used only
  // while the mutex is held.
  afx_file_handle stream_;
  int open_attempts_ = 0;
};

extern my_system_log g_system_log;
