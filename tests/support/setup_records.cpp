#include "tests/support/setup_records.h"

#include <windows.h>

std::wstring widen(const std::string& utf8) {
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                         nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

std::vector<start_record> parse_records(const std::string& bytes) {
  std::vector<start_record> records;
  start_record current;
  size_t start = 0, end;
  while ((end = bytes.find("\r\n", start)) != std::string::npos) {
    const std::string line = bytes.substr(start, end - start);
    start = end + 2;
    const size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    const std::wstring value = equals == std::string::npos ? L"" : widen(line.substr(equals + 1));
    if (key == "command_line") current.command_line = value;
    if (key == "working_folder") current.working_folder = value;
    if (key == "path") current.path = value;
    if (line == "end") records.push_back(current);
  }
  return records;
}
