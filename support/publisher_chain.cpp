#include "support/publisher_chain.h"

#include <algorithm>
#include <cstring>

namespace {

const wchar_t kThumbprintAlgorithm[] = L"SHA256";

// What a revocation check reports when it was not done: never asked for here.
const DWORD kRevocationNotAsked = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

// A chain's trust status as the result the gate reports, the first bit found
// deciding; a bit not named here still refuses (TRUST_E_FAIL).
struct status_result {
  DWORD status;
  LONG result;
};
const status_result kStatusResults[] = {
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, TRUST_E_CERT_SIGNATURE},
    {CERT_TRUST_IS_PARTIAL_CHAIN, CERT_E_CHAINING},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, CERT_E_UNTRUSTEDROOT},
    {CERT_TRUST_IS_NOT_TIME_VALID, CERT_E_EXPIRED},
    {CERT_TRUST_IS_NOT_TIME_NESTED, CERT_E_VALIDITYPERIODNESTING},
    {CERT_TRUST_IS_REVOKED, CRYPT_E_REVOKED},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, CERT_E_WRONG_USAGE},
    {CERT_TRUST_IS_CYCLIC, CERT_E_CHAINING},
    {CERT_TRUST_INVALID_EXTENSION, CERT_E_CRITICAL},
    {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, TRUST_E_BASIC_CONSTRAINTS},
    {CERT_TRUST_INVALID_POLICY_CONSTRAINTS | CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY, CERT_E_INVALID_POLICY},
    {CERT_TRUST_INVALID_NAME_CONSTRAINTS | CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT |
         CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT | CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT |
         CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT,
     CERT_E_INVALID_NAME},
};

LONG status_to_result(DWORD status) {
  for (const status_result& known : kStatusResults) {
    if (status & known.status) return known.result;
  }
  return TRUST_E_FAIL;
}

bool same_encoding(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
  return a->cbCertEncoded == b->cbCertEncoded &&
         std::memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}

// Whether the machine's own Root store holds exactly this certificate.
bool machine_trusts_root(const crypt32_functions& crypt32, PCCERT_CONTEXT root) {
  const certificate_store store = machine_root_store(crypt32);
  if (!store.get()) return false;
  certificate_context found(crypt32);
  for (;;) {
    // Found by issuer and serial number; the same bytes are what count.
    found.reset(crypt32.CertFindCertificateInStore(store.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                   CERT_FIND_EXISTING, root, found.release()));
    if (!found.get()) return false;
    if (same_encoding(found.get(), root)) return true;
  }
}

bool thumbprint_of(const crypt32_functions& crypt32, PCCERT_CONTEXT certificate,
                   certificate_thumbprint& thumbprint) {
  DWORD size = static_cast<DWORD>(thumbprint.size());
  return crypt32.CryptHashCertificate2(kThumbprintAlgorithm, 0, nullptr, certificate->pbCertEncoded,
                                       certificate->cbCertEncoded, thumbprint.data(), &size) &&
         size == thumbprint.size();
}

}  // namespace

LONG judge_publisher_chain(const crypt32_functions& crypt32, PCCERT_CONTEXT leaf, certificate_chain& chain) {
  LPSTR code_signing = const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING);
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof(parameters);
  parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
  parameters.RequestedUsage.Usage.rgpszUsageIdentifier = &code_signing;

  // No time given: the chain is judged now. Nothing is fetched from the
  // network: an issuer the signature does not carry is not looked up at the
  // address its leaf names, which whoever made the leaf chose.
  if (!crypt32.CertGetCertificateChain(HCCE_LOCAL_MACHINE, leaf, nullptr, leaf->hCertStore, &parameters,
                                       CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, chain.out())) {
    return HRESULT_FROM_WIN32(::GetLastError());
  }
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof(policy);
  CERT_CHAIN_POLICY_STATUS policy_status{};
  policy_status.cbSize = sizeof(policy_status);
  if (!crypt32.CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain.get(), &policy,
                                                &policy_status)) {
    return HRESULT_FROM_WIN32(::GetLastError());
  }
  if (policy_status.dwError != ERROR_SUCCESS) return static_cast<LONG>(policy_status.dwError);

  const DWORD errors = chain.get()->TrustStatus.dwErrorStatus & ~kRevocationNotAsked;
  if (errors != CERT_TRUST_NO_ERROR) return status_to_result(errors);

  // One simple chain, from the leaf to a root that signs itself.
  if (chain.get()->cChain != 1) return CERT_E_CHAINING;
  const CERT_SIMPLE_CHAIN* simple = chain.get()->rgpChain[0];
  if (!simple || simple->cElement == 0) return CERT_E_CHAINING;
  const CERT_CHAIN_ELEMENT* last = simple->rgpElement[simple->cElement - 1];
  if (!(last->TrustStatus.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED)) return CERT_E_CHAINING;
  if (!machine_trusts_root(crypt32, last->pCertContext)) return CERT_E_UNTRUSTEDROOT;
  return S_OK;
}

bool chain_holds_one_of(const crypt32_functions& crypt32, PCCERT_CHAIN_CONTEXT chain,
                        const publisher_roots& roots) {
  if (roots.empty()) return true;
  if (!chain || chain->cChain == 0) return false;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  for (DWORD i = 1; i < simple->cElement; ++i) {
    certificate_thumbprint thumbprint{};
    if (!thumbprint_of(crypt32, simple->rgpElement[i]->pCertContext, thumbprint)) return false;
    if (std::find(roots.begin(), roots.end(), thumbprint) != roots.end()) return true;
  }
  return false;
}
