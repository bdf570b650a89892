#include "app/app_dir_dll_check.h"

#include <windows.h>
#include <psapi.h>

#include <cwchar>
#include <string>

namespace {
constexpr DWORD kModuleSlots = 1024;
constexpr DWORD kPathLimit = MAX_PATH;  // read with this limit into MAX_PATH + 1
}  // namespace

bool IsExistAppDirDllVulnerability() {
  // A pseudo handle: nothing to close.
  const HANDLE process = ::GetCurrentProcess();

  wchar_t own_path[kPathLimit + 1] = {};
  ::GetModuleFileNameW(nullptr, own_path, kPathLimit);
  std::wstring directory = own_path;
  const size_t slash = directory.rfind(L'\\');
  if (slash != std::wstring::npos) directory.resize(slash);

  HMODULE modules[kModuleSlots] = {};
  DWORD needed = 0;
  if (!::EnumProcessModulesEx(process, modules, sizeof(modules), &needed, LIST_MODULES_32BIT)) {
    return false;
  }
  ::OutputDebugStringW(L"IsExistAppDirDllVulnerability");

  DWORD count = needed / sizeof(HMODULE);
  if (count > kModuleSlots) count = kModuleSlots;
  for (DWORD i = 0; i < count; ++i) {
    wchar_t module_path[kPathLimit + 1] = {};
    // The modules are this process's own: the loader's list answers at once,
    // where the "Ex" form reads it as another process's memory, walking the
    // whole list again for every module (a start-up cost that grows with the
    // square of the module count).
    if (!::GetModuleFileNameW(modules[i], module_path, kPathLimit)) continue;
    ::OutputDebugStringW((std::wstring(module_path) + L"\n").c_str());
    // Both tests are plain case-sensitive substring searches.
    if (std::wcsstr(module_path, L".dll") && std::wcsstr(module_path, directory.c_str())) {
      return true;
    }
  }
  return false;
}
