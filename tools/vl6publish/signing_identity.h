#pragma once
// The publisher's signing identity as a release engineer keeps it, and the
// detached signature made with it:
//  - the certificate file (PEM) holds the code-signing certificate first, then
//    the CA certificates that issued it, as far as the engineer wants them
//    carried (an issuing CA that Windows does not hold must be there, or the
//    launcher cannot complete the chain); every certificate of the file goes
//    into the signature;
//  - the key file (PEM) holds its RSA private key, unencrypted: "PRIVATE KEY"
//    (PKCS #8, as openssl writes it) or "RSA PRIVATE KEY".
// The key is imported into a provider of this process alone
// (CRYPT_VERIFYCONTEXT): nothing is stored in any key container.
#include "tools/vl6publish/crypt_handles.h"

#include <cstdint>
#include <string>
#include <vector>

// Why an identity could not be had: its exit code (exit_file_error for a file
// that cannot be read, exit_refused for one that holds no usable certificate
// or key, or a key that is not the certificate's) and the reason in words.
struct signing_problem {
  int exit_code = 0;
  std::wstring text;

  explicit operator bool() const { return exit_code != 0; }
};

class signing_identity {
public:
  signing_identity() = default;
  signing_identity(const signing_identity&) = delete;
  signing_identity& operator=(const signing_identity&) = delete;

  signing_problem load(const std::wstring& certificate_path, const std::wstring& key_path);

  // A detached CMS SignedData in DER over `content`: one signer, SHA-256,
  // with authenticated attributes (content type "data", the message digest
  // and the signing time `signed_at`, seconds since 1970), and the
  // certificates of the certificate file. False, with GetLastError telling
  // why, when CryptoAPI fails.
  bool sign(const std::vector<char>& content, int64_t signed_at, std::vector<char>& signature) const;

  // The code-signing certificate; null until loaded.
  PCCERT_CONTEXT certificate() const { return leaf_.Get(); }

private:
  crypt_provider_handle provider_;
  crypt_key_handle key_;
  certificate_handle leaf_;
  std::vector<std::vector<BYTE>> certificates_;  // DER, the leaf first
};
