#include "support/system_libraries.h"

#include "framework/afx_handle.h"

#include <winver.h>

#include <string>

namespace {

// Loads `name` from the system folder and nowhere else.
HMODULE load_from_system_folder(const wchar_t* name) {
  HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Systems that predate the search flags: name the file by its full path.
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder) + L"\\" + name;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Function>
bool resolve(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::GetProcAddress(module, name));
  return function != nullptr;
}

// One loaded library and its resolved table; the table is usable only when
// every function was found.
template <typename Table>
struct loaded_library {
  afx_module_handle module;
  Table functions{};
  bool complete = false;
};

}  // namespace

const comctl32_functions* comctl32_library() {
  static const loaded_library<comctl32_functions> library = [] {
    loaded_library<comctl32_functions> l;
    l.module.Reset(load_from_system_folder(L"comctl32.dll"));
    const HMODULE m = l.module.Get();
    l.complete = l.module.IsValid() &&
                 resolve(m, "InitCommonControlsEx", l.functions.InitCommonControlsEx) &&
                 resolve(m, "_TrackMouseEvent", l.functions._TrackMouseEvent);
    return l;
  }();
  return library.complete ? &library.functions : nullptr;
}

const version_functions* version_library() {
  static const loaded_library<version_functions> library = [] {
    loaded_library<version_functions> l;
    l.module.Reset(load_from_system_folder(L"version.dll"));
    const HMODULE m = l.module.Get();
    l.complete = l.module.IsValid() &&
                 resolve(m, "GetFileVersionInfoSizeW", l.functions.GetFileVersionInfoSizeW) &&
                 resolve(m, "GetFileVersionInfoW", l.functions.GetFileVersionInfoW) &&
                 resolve(m, "VerQueryValueW", l.functions.VerQueryValueW);
    return l;
  }();
  return library.complete ? &library.functions : nullptr;
}

const shell32_functions* shell32_library() {
  static const loaded_library<shell32_functions> library = [] {
    loaded_library<shell32_functions> l;
    l.module.Reset(load_from_system_folder(L"shell32.dll"));
    const HMODULE m = l.module.Get();
    l.complete = l.module.IsValid() &&
                 resolve(m, "ShellExecuteW", l.functions.ShellExecuteW) &&
                 resolve(m, "ShellExecuteExW", l.functions.ShellExecuteExW);
    return l;
  }();
  return library.complete ? &library.functions : nullptr;
}

const wininet_functions* wininet_library() {
  static const loaded_library<wininet_functions> library = [] {
    loaded_library<wininet_functions> l;
    l.module.Reset(load_from_system_folder(L"wininet.dll"));
    const HMODULE m = l.module.Get();
    wininet_functions& f = l.functions;
    l.complete = l.module.IsValid() &&
                 resolve(m, "InternetSetOptionW", f.InternetSetOptionW) &&
                 resolve(m, "InternetOpenA", f.InternetOpenA) &&
                 resolve(m, "InternetSetOptionA", f.InternetSetOptionA) &&
                 resolve(m, "InternetConnectA", f.InternetConnectA) &&
                 resolve(m, "HttpOpenRequestA", f.HttpOpenRequestA) &&
                 resolve(m, "InternetQueryOptionW", f.InternetQueryOptionW) &&
                 resolve(m, "HttpSendRequestA", f.HttpSendRequestA) &&
                 resolve(m, "InternetErrorDlg", f.InternetErrorDlg) &&
                 resolve(m, "HttpQueryInfoA", f.HttpQueryInfoA) &&
                 resolve(m, "InternetQueryOptionA", f.InternetQueryOptionA) &&
                 resolve(m, "InternetReadFile", f.InternetReadFile) &&
                 resolve(m, "InternetCloseHandle", f.InternetCloseHandle);
    return l;
  }();
  return library.complete ? &library.functions : nullptr;
}

const crypt32_functions* crypt32_library() {
  static const loaded_library<crypt32_functions> library = [] {
    loaded_library<crypt32_functions> l;
    l.module.Reset(load_from_system_folder(L"crypt32.dll"));
    const HMODULE m = l.module.Get();
    crypt32_functions& f = l.functions;
    l.complete = l.module.IsValid() &&
                 resolve(m, "CertGetCertificateChain", f.CertGetCertificateChain) &&
                 resolve(m, "CertVerifyCertificateChainPolicy", f.CertVerifyCertificateChainPolicy) &&
                 resolve(m, "CertFreeCertificateChain", f.CertFreeCertificateChain) &&
                 resolve(m, "CertGetNameStringW", f.CertGetNameStringW);
    return l;
  }();
  return library.complete ? &library.functions : nullptr;
}

const wintrust_functions* wintrust_library() {
  static const loaded_library<wintrust_functions> library = [] {
    loaded_library<wintrust_functions> l;
    // wintrust's own import of crypt32 then finds the copy already loaded.
    if (!crypt32_library()) return l;
    l.module.Reset(load_from_system_folder(L"wintrust.dll"));
    const HMODULE m = l.module.Get();
    wintrust_functions& f = l.functions;
    l.complete = l.module.IsValid() && resolve(m, "WinVerifyTrust", f.WinVerifyTrust) &&
                 resolve(m, "WTHelperProvDataFromStateData", f.WTHelperProvDataFromStateData) &&
                 resolve(m, "WTHelperGetProvSignerFromChain", f.WTHelperGetProvSignerFromChain) &&
                 resolve(m, "WTHelperGetProvCertFromChain", f.WTHelperGetProvCertFromChain);
    return l;
  }();
  return library.complete ? &library.functions : nullptr;
}
