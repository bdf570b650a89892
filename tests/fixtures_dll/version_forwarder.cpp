// A version.dll planted beside a program. Wine's user32 imports version.dll,
// so with a native-first override this copy is loaded into every GUI process
// started from its folder; it leaves its mark and hands each call to the
// system's own version.dll, so that the process still works.
#include "tests/fixtures_dll/load_marker.h"

#include <windows.h>

#include <string>

namespace {

HMODULE g_self = nullptr;
INIT_ONCE g_system_copy_once = INIT_ONCE_STATIC_INIT;
// Loaded on the first call and kept until the process ends: user32 may call
// in until then, and nothing may be freed from inside DllMain.
HMODULE g_system_copy = nullptr;

BOOL CALLBACK load_system_copy(PINIT_ONCE, PVOID, PVOID*) {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  const std::wstring path = std::wstring(folder) + L"\\version.dll";
  HMODULE module = ::LoadLibraryW(path.c_str());
  // A loader that matched by base name would hand back this very module,
  // and every call would come round again.
  if (module == g_self) {
    ::FreeLibrary(module);
    module = nullptr;
  }
  g_system_copy = module;
  return TRUE;
}

template <typename Function>
Function system_function(const char* name) {
  ::InitOnceExecuteOnce(&g_system_copy_once, &load_system_copy, nullptr, nullptr);
  if (!g_system_copy) return nullptr;
  return reinterpret_cast<Function>(::GetProcAddress(g_system_copy, name));
}

}  // namespace

// planted_<name>, exported as <name> by version_forwarder.def.
#define VELORA_FORWARD(result, name, parameters, arguments)               \
  extern "C" result WINAPI planted_##name parameters {                    \
    const auto system = system_function<decltype(&::name)>(#name);        \
    if (!system) {                                                        \
      ::SetLastError(ERROR_PROC_NOT_FOUND);                               \
      return 0;                                                           \
    }                                                                     \
    return system arguments;                                              \
  }

VELORA_FORWARD(DWORD, GetFileVersionInfoSizeA, (LPCSTR file, LPDWORD handle), (file, handle))
VELORA_FORWARD(DWORD, GetFileVersionInfoSizeW, (LPCWSTR file, LPDWORD handle), (file, handle))
VELORA_FORWARD(DWORD, GetFileVersionInfoSizeExA, (DWORD flags, LPCSTR file, LPDWORD handle),
               (flags, file, handle))
VELORA_FORWARD(DWORD, GetFileVersionInfoSizeExW, (DWORD flags, LPCWSTR file, LPDWORD handle),
               (flags, file, handle))
VELORA_FORWARD(WINBOOL, GetFileVersionInfoA,
               (LPCSTR file, DWORD handle, DWORD length, LPVOID data),
               (file, handle, length, data))
VELORA_FORWARD(WINBOOL, GetFileVersionInfoW,
               (LPCWSTR file, DWORD handle, DWORD length, LPVOID data),
               (file, handle, length, data))
VELORA_FORWARD(WINBOOL, GetFileVersionInfoExA,
               (DWORD flags, LPCSTR file, DWORD handle, DWORD length, LPVOID data),
               (flags, file, handle, length, data))
VELORA_FORWARD(WINBOOL, GetFileVersionInfoExW,
               (DWORD flags, LPCWSTR file, DWORD handle, DWORD length, LPVOID data),
               (flags, file, handle, length, data))
VELORA_FORWARD(WINBOOL, VerQueryValueA,
               (LPCVOID block, LPCSTR sub_block, LPVOID* buffer, PUINT length),
               (block, sub_block, buffer, length))
VELORA_FORWARD(WINBOOL, VerQueryValueW,
               (LPCVOID block, LPCWSTR sub_block, LPVOID* buffer, PUINT length),
               (block, sub_block, buffer, length))

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = self;
    write_load_marker(self);
  }
  return TRUE;
}
