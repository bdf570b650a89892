// Trusts test root certificates in this Wine prefix only: adds each DER file
// to the machine's "Root" store, which lives in the prefix's registry, or
// with --current-user to the current user's own "Root" store, which any
// program of that user may add to. The host's own trust is never touched.
// Exit code: the number of files that could not be added.
//   trust_root [--current-user] ROOT.der...
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

class system_store {
public:
  system_store(DWORD location, const wchar_t* name)
      : store_(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, name)) {}
  system_store(const system_store&) = delete;
  system_store& operator=(const system_store&) = delete;
  ~system_store() {
    if (store_) ::CertCloseStore(store_, 0);
  }
  HCERTSTORE get() const { return store_; }

private:
  HCERTSTORE store_;
};

std::vector<unsigned char> read_bytes(const wchar_t* path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const wchar_t kCurrentUserOption[] = L"--current-user";

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  DWORD location = CERT_SYSTEM_STORE_LOCAL_MACHINE;
  const wchar_t* whose = L"the machine's";
  if (argc > 1 && std::wcscmp(argv[1], kCurrentUserOption) == 0) {
    first = 2;
    location = CERT_SYSTEM_STORE_CURRENT_USER;
    whose = L"the current user's";
  }
  const system_store root(location, L"Root");
  if (!root.get()) {
    std::fwprintf(stderr, L"trust_root: %ls Root store cannot be opened (%lu)\n", whose, ::GetLastError());
    return argc;
  }
  int failures = 0;
  for (int i = first; i < argc; ++i) {
    const std::vector<unsigned char> der = read_bytes(argv[i]);
    if (der.empty() ||
        !::CertAddEncodedCertificateToStore(root.get(), X509_ASN_ENCODING, der.data(),
                                            static_cast<DWORD>(der.size()),
                                            CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
      std::fwprintf(stderr, L"trust_root: %ls was not added (%lu)\n", argv[i], ::GetLastError());
      ++failures;
    }
  }
  return failures;
}
