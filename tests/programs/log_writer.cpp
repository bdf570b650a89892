// Writes numbered lines to the log in a folder, for the test of concurrent writers:
//   log_writer FOLDER TAG COUNT PADDING
#include "support/system_log.h"

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return 2;
  std::wstring folder = argv[1];
  if (folder.back() != L'\\') folder += L'\\';
  const int count = std::wcstol(argv[3], nullptr, 10);
  const std::wstring padding(static_cast<size_t>(std::wcstol(argv[4], nullptr, 10)), L'x');
  if (!g_system_log.init(folder.c_str())) return 3;
  for (int i = 0; i < count; ++i) {
    if (!g_system_log.write_w(my_system_log::level_result, L"writer %s line %d %s", argv[2], i,
                              padding.c_str())) {
      return 4;
    }
  }
  return 0;
}
