#include "tools/vl6publish/installer_signature.h"

#include "support/held_file.h"
#include "tools/vl6publish/console_text.h"
#include "tools/vl6publish/exit_codes.h"

#include <windows.h>
#include <wintrust.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

// What the codes a release engineer meets most mean, in their words.
struct named_result {
  LONG result;
  const wchar_t* meaning;
};
const named_result kNamedResults[] = {
    {TRUST_E_NOSIGNATURE, L"no signature"},
    {TRUST_E_BAD_DIGEST, L"the file was changed after signing"},
    {TRUST_E_CERT_SIGNATURE, L"a signature in it does not verify"},
    {TRUST_E_SUBJECT_FORM_UNKNOWN, L"not a file that can be signed"},
    {CERT_E_UNTRUSTEDROOT, L"its root is not trusted, or holds no CA the launcher pins"},
    {CERT_E_CHAINING, L"no chain to a trusted root"},
    {CERT_E_EXPIRED, L"the certificate had expired"},
    {CERT_E_WRONG_USAGE, L"the certificate is not for code signing"},
};

std::wstring result_text(LONG result) {
  wchar_t hex[16];
  std::swprintf(hex, sizeof(hex) / sizeof(hex[0]), L"0x%08lX", static_cast<unsigned long>(result));
  for (const named_result& named : kNamedResults) {
    if (named.result == result) return std::wstring(hex) + L": " + named.meaning;
  }
  return hex;
}

}  // namespace

std::wstring describe_verdict(const signature_verdict& verdict, const std::wstring& publisher) {
  const std::wstring signer = L"signed by " + verdict.signer.describe();
  const std::wstring why = L" (" + result_text(verdict.result) + L")";
  switch (verdict.step) {
    case signature_verdict::passed:
      return signer + L", the publisher";
    case signature_verdict::gate_off:
      return L"signature not checked: no publisher given, and a launcher built so starts any installer";
    case signature_verdict::file:
      return L"cannot be read (Windows error " + std::to_wstring(verdict.result) + L")";
    case signature_verdict::signature:
      if (verdict.signer.empty()) return L"no valid signature" + why;
      return signer + L", but the signature does not hold" + why;
    case signature_verdict::chain:
      return signer + L", a certificate the launcher does not trust for code signing" + why;
    case signature_verdict::publisher:
      return signer + L", not by the publisher \"" + publisher + L"\"";
    case signature_verdict::location:
      return signer + L", but the file is no longer where it was checked";
  }
  return signer + why;
}

int report_signers(const std::vector<std::wstring>& files, const std::wstring& publisher,
                   const publisher_roots& roots) {
  bool unreadable = false;
  bool refused = false;
  for (const std::wstring& path : files) {
    const held_file file(path);
    const signature_verdict verdict = check_publisher_signature(file, publisher, roots);
    unreadable = unreadable || verdict.step == signature_verdict::file;
    refused = refused || !verdict.trusted;
    write_out(path + (verdict.trusted ? L": accepted, " : L": REFUSED, ") + describe_verdict(verdict, publisher) +
              L"\n");
  }
  if (unreadable) return exit_file_error;
  return refused ? exit_fault_found : exit_ok;
}
