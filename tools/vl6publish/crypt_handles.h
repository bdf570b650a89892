#pragma once
// Owners of the CryptoAPI objects the tool signs with: a key provider, a key,
// a message being encoded and a certificate context. The tool runs on the
// release engineer's machine and imports crypt32 as it is; the launcher's own
// checks load it from the system folder (support/system_libraries.h), and
// both reach the same DLL.
#include "framework/afx_handle.h"

#include <windows.h>
#include <wincrypt.h>

struct crypt_provider_traits {
  using handle_type = HCRYPTPROV;
  static HCRYPTPROV null() noexcept { return 0; }
  static bool is_valid(HCRYPTPROV h) noexcept { return h != 0; }
  static void close(HCRYPTPROV h) noexcept { ::CryptReleaseContext(h, 0); }
};
using crypt_provider_handle = afx_scoped_handle<crypt_provider_traits>;

struct crypt_key_traits {
  using handle_type = HCRYPTKEY;
  static HCRYPTKEY null() noexcept { return 0; }
  static bool is_valid(HCRYPTKEY h) noexcept { return h != 0; }
  static void close(HCRYPTKEY h) noexcept { ::CryptDestroyKey(h); }
};
using crypt_key_handle = afx_scoped_handle<crypt_key_traits>;

struct crypt_message_traits {
  using handle_type = HCRYPTMSG;
  static HCRYPTMSG null() noexcept { return nullptr; }
  static bool is_valid(HCRYPTMSG h) noexcept { return h != nullptr; }
  static void close(HCRYPTMSG h) noexcept { ::CryptMsgClose(h); }
};
using crypt_message_handle = afx_scoped_handle<crypt_message_traits>;

struct certificate_handle_traits {
  using handle_type = PCCERT_CONTEXT;
  static PCCERT_CONTEXT null() noexcept { return nullptr; }
  static bool is_valid(PCCERT_CONTEXT h) noexcept { return h != nullptr; }
  static void close(PCCERT_CONTEXT h) noexcept { ::CertFreeCertificateContext(h); }
};
using certificate_handle = afx_scoped_handle<certificate_handle_traits>;
