// Loads every DLL named on the command line by its plain name, without
// restricting the search path first. Exit code: how many could not be loaded.
#include "framework/afx_handle.h"

#include <windows.h>

#include <vector>

int wmain(int argc, wchar_t** argv) {
  std::vector<afx_module_handle> modules;
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    modules.emplace_back(::LoadLibraryW(argv[i]));
    if (!modules.back().IsValid()) ++failures;
  }
  return failures;
}
