#pragma once
// System DLLs outside the system's known-DLL list (the common controls, the
// version-resource functions, WinINet, the signature checks of wintrust and
// crypt32) are never imported statically: the
// loader would look for them in the launcher's own folder first, where a
// planted copy would run before any of the launcher's code. They are loaded on
// first use, from the system folder only, and their functions resolved once.
// The shell is loaded the same way although it is a known DLL: under Wine it
// brings shlwapi and shcore along and costs the first paint time, and the
// launcher needs it only once the window is up (installer, manual, pages).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <wininet.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

struct comctl32_functions {
  decltype(&::InitCommonControlsEx) InitCommonControlsEx;
  decltype(&::_TrackMouseEvent) _TrackMouseEvent;
};

struct version_functions {
  decltype(&::GetFileVersionInfoSizeW) GetFileVersionInfoSizeW;
  decltype(&::GetFileVersionInfoW) GetFileVersionInfoW;
  decltype(&::VerQueryValueW) VerQueryValueW;
};

struct shell32_functions {
  decltype(&::ShellExecuteW) ShellExecuteW;
  decltype(&::ShellExecuteExW) ShellExecuteExW;
};

struct wininet_functions {
  decltype(&::InternetSetOptionW) InternetSetOptionW;
  decltype(&::InternetOpenA) InternetOpenA;
  decltype(&::InternetSetOptionA) InternetSetOptionA;
  decltype(&::InternetConnectA) InternetConnectA;
  decltype(&::HttpOpenRequestA) HttpOpenRequestA;
  decltype(&::InternetQueryOptionW) InternetQueryOptionW;
  decltype(&::HttpSendRequestA) HttpSendRequestA;
  decltype(&::InternetErrorDlg) InternetErrorDlg;
  decltype(&::HttpQueryInfoA) HttpQueryInfoA;
  decltype(&::InternetQueryOptionA) InternetQueryOptionA;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
};

struct crypt32_functions {
  decltype(&::CertGetCertificateChain) CertGetCertificateChain;
  decltype(&::CertVerifyCertificateChainPolicy) CertVerifyCertificateChainPolicy;
  decltype(&::CertFreeCertificateChain) CertFreeCertificateChain;
  decltype(&::CertGetNameStringW) CertGetNameStringW;
  decltype(&::CertOpenStore) CertOpenStore;
  decltype(&::CertCloseStore) CertCloseStore;
  decltype(&::CertFindCertificateInStore) CertFindCertificateInStore;
  decltype(&::CertEnumCertificatesInStore) CertEnumCertificatesInStore;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext;
  decltype(&::CryptHashCertificate2) CryptHashCertificate2;
  decltype(&::CryptMsgOpenToDecode) CryptMsgOpenToDecode;
  decltype(&::CryptMsgUpdate) CryptMsgUpdate;
  decltype(&::CryptMsgGetParam) CryptMsgGetParam;
  decltype(&::CryptMsgControl) CryptMsgControl;
  decltype(&::CryptMsgClose) CryptMsgClose;
  decltype(&::CertGetSubjectCertificateFromStore) CertGetSubjectCertificateFromStore;
};

struct wintrust_functions {
  decltype(&::WinVerifyTrust) WinVerifyTrust;
  decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData;
  decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain;
  decltype(&::WTHelperGetProvCertFromChain) WTHelperGetProvCertFromChain;
};

// Each returns null when the library or one of its functions cannot be had;
// the callers then behave as if the call had failed.
const comctl32_functions* comctl32_library();
const version_functions* version_library();
const shell32_functions* shell32_library();
const wininet_functions* wininet_library();
const crypt32_functions* crypt32_library();
// Loads crypt32 from the system folder first, which wintrust imports.
const wintrust_functions* wintrust_library();
