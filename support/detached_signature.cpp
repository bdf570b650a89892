#include "support/detached_signature.h"

#include "support/certificate_owners.h"
#include "support/publisher_signer.h"

#include <cstring>

namespace {

constexpr DWORD kEncoding = PKCS_7_ASN_ENCODING | X509_ASN_ENCODING;
constexpr DWORD kOnlySigner = 0;
constexpr DWORD kSha256Size = 32;
const wchar_t kDigestAlgorithm[] = BCRYPT_SHA256_ALGORITHM;

// The DER of the two signed attributes' values as they must read: the object
// identifier of "data", and an OCTET STRING of 32 bytes (the digest).
const BYTE kDataContentType[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
const BYTE kDigestHeader[] = {0x04, kSha256Size};

const BYTE* bytes(const std::vector<char>& data) { return reinterpret_cast<const BYTE*>(data.data()); }

HRESULT last_error_or(HRESULT otherwise) {
  const DWORD error = ::GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : otherwise;
}

// One parameter of a decoded message, as crypt32 lays it out; empty when it
// cannot be had.
std::vector<BYTE> message_parameter(const crypt32_functions& crypt32, HCRYPTMSG message, DWORD type) {
  DWORD size = 0;
  if (!crypt32.CryptMsgGetParam(message, type, kOnlySigner, nullptr, &size) || size == 0) return {};
  std::vector<BYTE> value(size);
  if (!crypt32.CryptMsgGetParam(message, type, kOnlySigner, value.data(), &size)) return {};
  value.resize(size);
  return value;
}

DWORD message_number(const crypt32_functions& crypt32, HCRYPTMSG message, DWORD type) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  return crypt32.CryptMsgGetParam(message, type, 0, &value, &size) ? value : 0;
}

// The one value of the signed attribute `oid`; null when the attribute is
// missing, given twice or holds other than one value.
const CRYPT_ATTR_BLOB* only_value(const CRYPT_ATTRIBUTES& attributes, const char* oid) {
  const CRYPT_ATTR_BLOB* found = nullptr;
  for (DWORD index = 0; index < attributes.cAttr; ++index) {
    const CRYPT_ATTRIBUTE& attribute = attributes.rgAttr[index];
    if (std::strcmp(attribute.pszObjId, oid) != 0) continue;
    if (found || attribute.cValue != 1) return nullptr;
    found = attribute.rgValue;
  }
  return found;
}

bool is(const CRYPT_ATTR_BLOB* value, const BYTE* expected, DWORD size) {
  return value && value->cbData == size && std::memcmp(value->pbData, expected, size) == 0;
}

// Whether the signed attributes say "data" and carry the SHA-256 of `content`.
bool attributes_sign(const crypt32_functions& crypt32, const CMSG_SIGNER_INFO& signer,
                     const std::vector<char>& content) {
  if (!is(only_value(signer.AuthAttrs, szOID_RSA_contentType), kDataContentType, sizeof(kDataContentType))) {
    return false;
  }
  const CRYPT_ATTR_BLOB* digest = only_value(signer.AuthAttrs, szOID_RSA_messageDigest);
  if (!digest || digest->cbData != sizeof(kDigestHeader) + kSha256Size ||
      std::memcmp(digest->pbData, kDigestHeader, sizeof(kDigestHeader)) != 0) {
    return false;
  }
  BYTE actual[kSha256Size];
  DWORD actual_size = sizeof(actual);
  return crypt32.CryptHashCertificate2(kDigestAlgorithm, 0, nullptr, bytes(content),
                                       static_cast<DWORD>(content.size()), actual, &actual_size) &&
         actual_size == kSha256Size &&
         std::memcmp(digest->pbData + sizeof(kDigestHeader), actual, kSha256Size) == 0;
}

}  // namespace

signature_verdict check_detached_signature(const std::vector<char>& content, const std::vector<char>& signature,
                                           const std::wstring& publisher, const publisher_roots& roots) {
  if (publisher.empty()) return refused(signature_verdict::publisher, TRUST_E_SUBJECT_NOT_TRUSTED);
  if (signature.empty()) return refused(signature_verdict::signature, CRYPT_E_NO_SIGNER);
  const crypt32_functions* crypt32 = crypt32_library();
  if (!crypt32) return refused(signature_verdict::signature, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));

  const crypt_message message(*crypt32, crypt32->CryptMsgOpenToDecode(kEncoding, CMSG_DETACHED_FLAG, 0, 0,
                                                                        nullptr, nullptr));
  if (!message.get()) return refused(signature_verdict::signature, last_error_or(CRYPT_E_ASN1_ERROR));
  if (!crypt32->CryptMsgUpdate(message.get(), bytes(signature), static_cast<DWORD>(signature.size()), TRUE) ||
      message_number(*crypt32, message.get(), CMSG_TYPE_PARAM) != CMSG_SIGNED) {
    return refused(signature_verdict::signature, last_error_or(CRYPT_E_INVALID_MSG_TYPE));
  }
  // One signer, the one judged: a second could be anyone's.
  if (message_number(*crypt32, message.get(), CMSG_SIGNER_COUNT_PARAM) != 1) {
    return refused(signature_verdict::signature, CRYPT_E_SIGNER_NOT_FOUND);
  }

  // The signer's certificate comes from the message itself (whose store the
  // chain is built from as well); the chain judges whether it is worth anything.
  std::vector<BYTE> signer_id = message_parameter(*crypt32, message.get(), CMSG_SIGNER_CERT_INFO_PARAM);
  const certificate_store carried(*crypt32, crypt32->CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0,
                                                                     message.get()));
  certificate_context leaf(*crypt32);
  if (!signer_id.empty() && carried.get()) {
    leaf.reset(crypt32->CertGetSubjectCertificateFromStore(
        carried.get(), kEncoding, reinterpret_cast<CERT_INFO*>(signer_id.data())));
  }
  if (!leaf.get()) return refused(signature_verdict::signature, CRYPT_E_NO_SIGNER);
  const code_signer names = signer_names(*crypt32, leaf.get());

  const std::vector<BYTE> signer_info = message_parameter(*crypt32, message.get(), CMSG_SIGNER_INFO_PARAM);
  if (signer_info.empty()) return refused(signature_verdict::signature, CRYPT_E_NO_SIGNER, names);
  const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_info.data());
  if (!signer.HashAlgorithm.pszObjId || std::strcmp(signer.HashAlgorithm.pszObjId, szOID_NIST_sha256) != 0) {
    return refused(signature_verdict::signature, NTE_BAD_ALGID, names);
  }
  if (!attributes_sign(*crypt32, signer, content)) return refused(signature_verdict::signature, CRYPT_E_HASH_VALUE, names);
  // The signature over the signed attributes, and so over the digest above.
  // crypt32 ends its decoding of a detached message with the content.
  if (!crypt32->CryptMsgUpdate(message.get(), bytes(content), static_cast<DWORD>(content.size()), TRUE) ||
      !crypt32->CryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE, leaf.get()->pCertInfo)) {
    return refused(signature_verdict::signature, last_error_or(NTE_BAD_SIGNATURE), names);
  }
  return judge_signer(*crypt32, leaf.get(), publisher, roots);
}
