#pragma once
// What the stand-in installer (tools/setup_standin) recorded of each start.
#include <string>
#include <vector>

struct start_record {
  std::wstring command_line;
  std::wstring working_folder;
  std::wstring path;
};

// The records of a record file's bytes (UTF-8 lines), oldest first.
std::vector<start_record> parse_records(const std::string& bytes);

// UTF-8 to UTF-16.
std::wstring widen(const std::string& utf8);
