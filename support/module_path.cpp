#include "support/module_path.h"

#include "support/path_utils.h"

#include <windows.h>

namespace {
constexpr DWORD kPathLimit = MAX_PATH;
}

std::wstring own_module_path() {
  wchar_t path[kPathLimit + 1] = {};
  ::GetModuleFileNameW(nullptr, path, kPathLimit);
  return path;
}

std::wstring launcher_directory() { return parent_directory(own_module_path()); }
