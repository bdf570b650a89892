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

  const Table* table() const { return complete ? &functions : nullptr; }
};

// Loads `name` from the system folder; `resolve_all` fills the table from the
// module and answers whether every function was found.
template <typename Table, typename ResolveAll>
loaded_library<Table> load_library(const wchar_t* name, ResolveAll resolve_all) {
  loaded_library<Table> library;
  library.module.Reset(load_from_system_folder(name));
  library.complete =
      library.module.IsValid() && resolve_all(library.module.Get(), library.functions);
  return library;
}

}  // namespace

const comctl32_functions* comctl32_library() {
  static const auto library =
      load_library<comctl32_functions>(L"comctl32.dll", [](HMODULE m, comctl32_functions& f) {
        return resolve(m, "InitCommonControlsEx", f.InitCommonControlsEx) &&
               resolve(m, "_TrackMouseEvent", f._TrackMouseEvent);
      });
  return library.table();
}

const version_functions* version_library() {
  static const auto library =
      load_library<version_functions>(L"version.dll", [](HMODULE m, version_functions& f) {
        return resolve(m, "GetFileVersionInfoSizeW", f.GetFileVersionInfoSizeW) &&
               resolve(m, "GetFileVersionInfoW", f.GetFileVersionInfoW) &&
               resolve(m, "VerQueryValueW", f.VerQueryValueW);
      });
  return library.table();
}

const shell32_functions* shell32_library() {
  static const auto library =
      load_library<shell32_functions>(L"shell32.dll", [](HMODULE m, shell32_functions& f) {
        return resolve(m, "ShellExecuteW", f.ShellExecuteW) &&
               resolve(m, "ShellExecuteExW", f.ShellExecuteExW);
      });
  return library.table();
}

const wininet_functions* wininet_library() {
  static const auto library =
      load_library<wininet_functions>(L"wininet.dll", [](HMODULE m, wininet_functions& f) {
        return resolve(m, "InternetSetOptionW", f.InternetSetOptionW) &&
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
      });
  return library.table();
}

const crypt32_functions* crypt32_library() {
  static const auto library =
      load_library<crypt32_functions>(L"crypt32.dll", [](HMODULE m, crypt32_functions& f) {
        return resolve(m, "CertGetCertificateChain", f.CertGetCertificateChain) &&
               resolve(m, "CertVerifyCertificateChainPolicy", f.CertVerifyCertificateChainPolicy) &&
               resolve(m, "CertFreeCertificateChain", f.CertFreeCertificateChain) &&
               resolve(m, "CertGetNameStringW", f.CertGetNameStringW) &&
               resolve(m, "CertOpenStore", f.CertOpenStore) &&
               resolve(m, "CertCloseStore", f.CertCloseStore) &&
               resolve(m, "CertFindCertificateInStore", f.CertFindCertificateInStore) &&
               resolve(m, "CertEnumCertificatesInStore", f.CertEnumCertificatesInStore) &&
               resolve(m, "CertFreeCertificateContext", f.CertFreeCertificateContext) &&
               resolve(m, "CryptHashCertificate2", f.CryptHashCertificate2) &&
               resolve(m, "CryptMsgOpenToDecode", f.CryptMsgOpenToDecode) &&
               resolve(m, "CryptMsgUpdate", f.CryptMsgUpdate) &&
               resolve(m, "CryptMsgGetParam", f.CryptMsgGetParam) &&
               resolve(m, "CryptMsgControl", f.CryptMsgControl) &&
               resolve(m, "CryptMsgClose", f.CryptMsgClose) &&
               resolve(m, "CertGetSubjectCertificateFromStore", f.CertGetSubjectCertificateFromStore);
      });
  return library.table();
}

const wintrust_functions* wintrust_library() {
  static const auto library = [] {
    // wintrust's own import of crypt32 then finds the copy already loaded.
    if (!crypt32_library()) return loaded_library<wintrust_functions>{};
    return load_library<wintrust_functions>(L"wintrust.dll", [](HMODULE m, wintrust_functions& f) {
      return resolve(m, "WinVerifyTrust", f.WinVerifyTrust) &&
             resolve(m, "WTHelperProvDataFromStateData", f.WTHelperProvDataFromStateData) &&
             resolve(m, "WTHelperGetProvSignerFromChain", f.WTHelperGetProvSignerFromChain) &&
             resolve(m, "WTHelperGetProvCertFromChain", f.WTHelperGetProvCertFromChain);
    });
  }();
  return library.table();
}
