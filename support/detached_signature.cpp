#include "support/detached_signature.h"

#include "support/certificate_owners.h"
#include "support/publisher_signer.h"

namespace {

constexpr DWORD kEncoding = PKCS_7_ASN_ENCODING | X509_ASN_ENCODING;
constexpr DWORD kOnlySigner = 0;
constexpr LONG kOneSigner = 1;

const BYTE* bytes(const std::vector<char>& data) { return reinterpret_cast<const BYTE*>(data.data()); }

}  // namespace

signature_verdict check_detached_signature(const std::vector<char>& content, const std::vector<char>& signature,
                                           const std::wstring& publisher, const publisher_roots& roots) {
  if (publisher.empty()) return refused(signature_verdict::publisher, TRUST_E_SUBJECT_NOT_TRUSTED);
  if (signature.empty()) return refused(signature_verdict::signature, CRYPT_E_NO_SIGNER);
  const crypt32_functions* crypt32 = crypt32_library();
  if (!crypt32) return refused(signature_verdict::signature, static_cast<LONG>(ERROR_MOD_NOT_FOUND));

  const DWORD signature_size = static_cast<DWORD>(signature.size());
  const LONG signers = crypt32->CryptGetMessageSignerCount(kEncoding, bytes(signature), signature_size);
  if (signers < 0) return refused(signature_verdict::signature, static_cast<LONG>(HRESULT_FROM_WIN32(::GetLastError())));
  // One signer, the one judged: a second could be anyone's.
  if (signers != kOneSigner) return refused(signature_verdict::signature, CRYPT_E_SIGNER_NOT_FOUND);

  CRYPT_VERIFY_MESSAGE_PARA parameters{};
  parameters.cbSize = sizeof(parameters);
  parameters.dwMsgAndCertEncodingType = kEncoding;
  const BYTE* pieces[] = {bytes(content)};
  DWORD piece_sizes[] = {static_cast<DWORD>(content.size())};
  certificate_context leaf(*crypt32);
  PCCERT_CONTEXT signer = nullptr;
  // The signer's certificate comes from the message itself (its own store,
  // which the chain is built from as well); the chain judges whether it is
  // worth anything.
  const BOOL verified = crypt32->CryptVerifyDetachedMessageSignature(
      &parameters, kOnlySigner, bytes(signature), signature_size, 1, pieces, piece_sizes, &signer);
  const DWORD error = ::GetLastError();
  leaf.reset(signer);
  if (!verified) {
    const code_signer names = leaf.get() ? signer_names(*crypt32, leaf.get()) : code_signer();
    return refused(signature_verdict::signature, error ? static_cast<LONG>(HRESULT_FROM_WIN32(error)) : NTE_BAD_SIGNATURE,
                   names);
  }
  if (!leaf.get()) return refused(signature_verdict::signature, CRYPT_E_NO_SIGNER);
  return judge_signer(*crypt32, leaf.get(), publisher, roots);
}
