#include "support/windows_facts.h"

#include "support/path_utils.h"

#include <windows.h>

namespace {

constexpr DWORD kPathLimit = MAX_PATH;
constexpr DWORD kPlatformNt = VER_PLATFORM_WIN32_NT;
constexpr DWORD kVersionRecordSize = 276;          // OSVERSIONINFOW
constexpr DWORD kExtendedVersionRecordSize = 284;  // OSVERSIONINFOEXW

using get_native_system_info_function = void(WINAPI*)(LPSYSTEM_INFO);

std::wstring read_own_module_path() {
  wchar_t path[kPathLimit + 1] = {};
  ::GetModuleFileNameW(nullptr, path, kPathLimit);
  return path;
}

}  // namespace

bool Is64BitOS() {
  const auto get_native_system_info = reinterpret_cast<get_native_system_info_function>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo"));
  if (!get_native_system_info) return false;
  SYSTEM_INFO info{};
  get_native_system_info(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

bool IsNt6OrLater() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = kVersionRecordSize;
  ::GetVersionExW(&version);
  if (version.dwPlatformId < kPlatformNt) return false;

  OSVERSIONINFOEXW wanted{};
  wanted.dwOSVersionInfoSize = kExtendedVersionRecordSize;
  wanted.dwMajorVersion = 6;
  wanted.dwMinorVersion = 0;
  ULONGLONG conditions = 0;
  conditions = ::VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
  conditions = ::VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
  return ::VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION, conditions) != FALSE;
}

const std::wstring& own_module_path() {
  // The program file does not move while the process runs.
  static const std::wstring path = read_own_module_path();
  return path;
}

std::wstring launcher_directory() { return parent_directory(own_module_path()); }
