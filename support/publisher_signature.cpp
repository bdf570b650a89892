#include "support/publisher_signature.h"

#include "support/publisher_chain.h"
#include "support/publisher_signer.h"
#include "support/system_libraries.h"
#include "support/system_log.h"

namespace {

const wchar_t kRefusedLine[] = L"signature refused: %s step %s result 0x%08X signer %s.";
const wchar_t kAcceptedLine[] = L"signature accepted: %s signer %s.";
const wchar_t kNoSigner[] = L"none";

// Ends the verification state WinVerifyTrust keeps between its calls, which
// holds the signer's certificates the chain check reads.
class trust_state {
public:
  trust_state(const wintrust_functions& wintrust, const held_file& file)
      : wintrust_(wintrust) {
    file_info_.cbStruct = sizeof(file_info_);
    file_info_.pcwszFilePath = file.Path().c_str();
    file_info_.hFile = file.Handle();
    data_.cbStruct = sizeof(data_);
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_info_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    // Nothing is fetched from the network: no revocation lists, no
    // certificates named by address in the signature.
    data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    result_ = wintrust_.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  trust_state(const trust_state&) = delete;
  trust_state& operator=(const trust_state&) = delete;
  ~trust_state() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    wintrust_.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }

  LONG result() const { return result_; }

  // The signer's certificate, when the signature could be read at all. The
  // signer's verify time (sftVerifyAsOf) is never used: under Wine it comes
  // from a counter-signature nobody verified, or from the file's own time.
  PCCERT_CONTEXT signer_certificate() const {
    CRYPT_PROVIDER_SGNR* sgnr = signer();
    CRYPT_PROVIDER_CERT* cert = sgnr ? wintrust_.WTHelperGetProvCertFromChain(sgnr, 0) : nullptr;
    return cert ? cert->pCert : nullptr;
  }

private:
  CRYPT_PROVIDER_SGNR* signer() const {
    if (!data_.hWVTStateData) return nullptr;
    CRYPT_PROVIDER_DATA* provider = wintrust_.WTHelperProvDataFromStateData(data_.hWVTStateData);
    return provider ? wintrust_.WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  }

  const wintrust_functions& wintrust_;
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_info_{};
  WINTRUST_DATA data_{};
  LONG result_ = TRUST_E_NOSIGNATURE;
};

std::wstring name_attribute(const crypt32_functions& crypt32, PCCERT_CONTEXT certificate,
                            const char* oid) {
  void* type = const_cast<char*>(oid);
  const DWORD length = crypt32.CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring name(length, L'\0');
  crypt32.CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, &name[0], length);
  name.resize(length - 1);
  return name;
}

signature_verdict verify(const held_file& file, const std::wstring& publisher, const publisher_roots& roots) {
  if (!file.IsHeld()) {
    const DWORD error = file.HoldError();
    return refused(signature_verdict::file, static_cast<LONG>(error ? error : ERROR_INVALID_HANDLE));
  }
  const wintrust_functions* wintrust = wintrust_library();
  const crypt32_functions* crypt32 = crypt32_library();
  if (!wintrust || !crypt32) return refused(signature_verdict::signature, static_cast<LONG>(ERROR_MOD_NOT_FOUND));

  const trust_state state(*wintrust, file);
  PCCERT_CONTEXT leaf = state.signer_certificate();
  code_signer names = leaf ? signer_names(*crypt32, leaf) : code_signer();
  if (state.result() != ERROR_SUCCESS) return refused(signature_verdict::signature, state.result(), names);
  if (!leaf) return refused(signature_verdict::signature, TRUST_E_NOSIGNATURE);
  return judge_signer(*crypt32, leaf, publisher, roots);
}

}  // namespace

signature_verdict refused(signature_verdict::step_kind step, LONG result, code_signer signer) {
  signature_verdict verdict;
  verdict.step = step;
  verdict.result = result;
  verdict.signer = std::move(signer);
  return verdict;
}

code_signer signer_names(const crypt32_functions& crypt32, PCCERT_CONTEXT leaf) {
  return code_signer{name_attribute(crypt32, leaf, szOID_ORGANIZATION_NAME),
                     name_attribute(crypt32, leaf, szOID_COMMON_NAME)};
}

signature_verdict judge_signer(const crypt32_functions& crypt32, PCCERT_CONTEXT leaf, const std::wstring& publisher,
                               const publisher_roots& roots) {
  code_signer names = signer_names(crypt32, leaf);
  certificate_chain chain(crypt32);
  const LONG chain_result = judge_publisher_chain(crypt32, leaf, chain);
  if (chain_result != ERROR_SUCCESS) return refused(signature_verdict::chain, chain_result, names);

  if (names.organization != publisher || names.common_name != publisher) {
    return refused(signature_verdict::publisher, TRUST_E_SUBJECT_NOT_TRUSTED, names);
  }
  // After the names: a file signed by someone else is refused as such.
  if (!chain_holds_one_of(crypt32, chain.get(), roots)) {
    return refused(signature_verdict::chain, CERT_E_UNTRUSTEDROOT, names);
  }
  signature_verdict verdict;
  verdict.trusted = true;
  verdict.step = signature_verdict::passed;
  verdict.signer = std::move(names);
  return verdict;
}

std::wstring code_signer::describe() const {
  if (empty()) return kNoSigner;
  return L"O=" + organization + L", CN=" + common_name;
}

const wchar_t* signature_verdict::step_name() const {
  switch (step) {
    case passed: return L"passed";
    case file: return L"file";
    case signature: return L"signature";
    case chain: return L"chain";
    case publisher: return L"publisher";
    case gate_off: return L"gate-off";
    case location: return L"location";
  }
  return L"?";
}

void log_start_refusal(const std::wstring& path, const code_signer& signer) {
  signature_verdict verdict = refused(signature_verdict::location, HRESULT_FROM_WIN32(ERROR_FILE_INVALID), signer);
  g_system_log.write_w(my_system_log::level_failure, kRefusedLine, path.c_str(), verdict.step_name(),
                       static_cast<unsigned int>(verdict.result), verdict.signer.describe().c_str());
}

signature_verdict check_publisher_signature(const held_file& file, const std::wstring& publisher) {
  return check_publisher_signature(file, publisher, build_publisher_roots());
}

signature_verdict check_publisher_signature(const held_file& file, const std::wstring& publisher,
                                            const publisher_roots& roots) {
  signature_verdict verdict = judge_publisher_signature(file, publisher, roots);
  log_signature_verdict(file, verdict);
  return verdict;
}

signature_verdict judge_publisher_signature(const held_file& file, const std::wstring& publisher) {
  return judge_publisher_signature(file, publisher, build_publisher_roots());
}

signature_verdict judge_publisher_signature(const held_file& file, const std::wstring& publisher,
                                            const publisher_roots& roots) {
  if (publisher.empty()) {
    signature_verdict verdict;
    verdict.trusted = true;
    verdict.step = signature_verdict::gate_off;
    return verdict;
  }
  return verify(file, publisher, roots);
}

void log_signature_verdict(const held_file& file, const signature_verdict& verdict) {
  if (verdict.step == signature_verdict::gate_off) return;
  const std::wstring signer = verdict.signer.describe();
  if (verdict.trusted) {
    g_system_log.write_w(my_system_log::level_milestone, kAcceptedLine, file.Path().c_str(), signer.c_str());
  } else {
    g_system_log.write_w(my_system_log::level_failure, kRefusedLine, file.Path().c_str(), verdict.step_name(),
                         static_cast<unsigned int>(verdict.result), signer.c_str());
  }
}
