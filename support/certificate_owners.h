#pragma once
// Scoped owners for crypt32's objects: a certificate store, a decoded
// message, a certificate context and a chain context, each freed through the
// crypt32 table it was had from (crypt32 is loaded at run time, see system_libraries.h).
#include "support/system_libraries.h"

#include <utility>

class certificate_store {
public:
  certificate_store(const crypt32_functions& crypt32, HCERTSTORE store) : crypt32_(crypt32), store_(store) {}
  certificate_store(const certificate_store&) = delete;
  certificate_store& operator=(const certificate_store&) = delete;
  ~certificate_store() {
    if (store_) crypt32_.CertCloseStore(store_, 0);
  }
  HCERTSTORE get() const { return store_; }

private:
  const crypt32_functions& crypt32_;
  HCERTSTORE store_;
};

// The local machine's own Root store, read-only: the roots the machine
// trusts, whatever any user added to a store of their own. Empty (get() null)
// when it cannot be opened.
inline certificate_store machine_root_store(const crypt32_functions& crypt32) {
  return certificate_store(crypt32, crypt32.CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                                          CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG |
                                                              CERT_STORE_OPEN_EXISTING_FLAG,
                                                          L"Root"));
}

// A decoded cryptographic message (CryptMsgOpenToDecode).
class crypt_message {
public:
  crypt_message(const crypt32_functions& crypt32, HCRYPTMSG message) : crypt32_(crypt32), message_(message) {}
  crypt_message(const crypt_message&) = delete;
  crypt_message& operator=(const crypt_message&) = delete;
  ~crypt_message() {
    if (message_) crypt32_.CryptMsgClose(message_);
  }
  HCRYPTMSG get() const { return message_; }

private:
  const crypt32_functions& crypt32_;
  HCRYPTMSG message_;
};

class certificate_context {
public:
  explicit certificate_context(const crypt32_functions& crypt32) : crypt32_(crypt32) {}
  certificate_context(const certificate_context&) = delete;
  certificate_context& operator=(const certificate_context&) = delete;
  ~certificate_context() { reset(nullptr); }
  PCCERT_CONTEXT get() const { return context_; }
  void reset(PCCERT_CONTEXT context) {
    if (context_) crypt32_.CertFreeCertificateContext(context_);
    context_ = context;
  }
  // For the store functions that take the previous context of an
  // enumeration and free it themselves.
  PCCERT_CONTEXT release() { return std::exchange(context_, nullptr); }

private:
  const crypt32_functions& crypt32_;
  PCCERT_CONTEXT context_ = nullptr;
};

class certificate_chain {
public:
  explicit certificate_chain(const crypt32_functions& crypt32) : crypt32_(crypt32) {}
  certificate_chain(const certificate_chain&) = delete;
  certificate_chain& operator=(const certificate_chain&) = delete;
  ~certificate_chain() {
    if (chain_) crypt32_.CertFreeCertificateChain(chain_);
  }
  PCCERT_CHAIN_CONTEXT* out() { return &chain_; }
  PCCERT_CHAIN_CONTEXT get() const { return chain_; }

private:
  const crypt32_functions& crypt32_;
  PCCERT_CHAIN_CONTEXT chain_ = nullptr;
};
