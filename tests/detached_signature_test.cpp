// The publisher's signature over bytes (a detached CMS signature), on
// signatures made and spoiled at test time (tests/signature_cases/
// make_detached_cases.py) against the test roots this prefix trusts. Only the
// vendor's signature over exactly those bytes passes. Wine's own
// CryptVerifyDetachedMessageSignature passes the changed content and the
// message without signed attributes: the check compares the digest itself.
#include "support/detached_signature.h"
#include "support/publisher_roots.h"
#include "tests/support/test_files.h"
#include "velora_endpoints.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

using step = signature_verdict::step_kind;

const std::wstring kPublisher = VELORA_PUBLISHER;

std::vector<char> case_bytes(const wchar_t* file) {
  const std::string text = read_file(path_from_environment("VELORA_DETACHED_CASES") + L"\\" + file);
  return std::vector<char>(text.begin(), text.end());
}

struct detached_case {
  const char* name;
  const wchar_t* content;
  const wchar_t* signature;
  bool trusted;
  step refused_at;
  LONG result;  // 0: any
  const wchar_t* signer_organization;  // null: no signer read
};

std::ostream& operator<<(std::ostream& out, const detached_case& c) { return out << c.name; }

class DetachedSignature : public ::testing::TestWithParam<detached_case> {};

TEST_P(DetachedSignature, OnlyTheVendorsSignatureOverTheseBytesPasses) {
  const detached_case& c = GetParam();
  const std::vector<char> signature = c.signature ? case_bytes(c.signature) : std::vector<char>();
  const signature_verdict verdict =
      check_detached_signature(case_bytes(c.content), signature, kPublisher, build_publisher_roots());
  EXPECT_EQ(verdict.trusted, c.trusted) << std::hex << verdict.result;
  if (c.trusted) {
    EXPECT_EQ(verdict.step, step::passed);
  } else {
    EXPECT_EQ(verdict.step, c.refused_at) << std::hex << verdict.result;
    if (c.result) {
      EXPECT_EQ(static_cast<unsigned>(verdict.result), static_cast<unsigned>(c.result));
    }
  }
  EXPECT_EQ(verdict.signer.organization, c.signer_organization ? c.signer_organization : L"");
}

const wchar_t kVendor[] = L"Velora Test Publisher";

INSTANTIATE_TEST_SUITE_P(
    Cases, DetachedSignature,
    ::testing::Values(
        detached_case{"vendor", L"content.txt", L"vendor.p7s", true, step::passed, 0, kVendor},
        detached_case{"issued", L"content.txt", L"issued.p7s", true, step::passed, 0, kVendor},
        detached_case{"content_changed", L"changed.txt", L"vendor.p7s", false, step::signature,
                      CRYPT_E_HASH_VALUE, kVendor},
        detached_case{"attributes_changed", L"content.txt", L"attributes_changed.p7s", false, step::signature,
                      0, kVendor},
        detached_case{"signature_changed", L"content.txt", L"signature_changed.p7s", false, step::signature, 0,
                      kVendor},
        detached_case{"no_attributes", L"content.txt", L"no_attributes.p7s", false, step::signature,
                      CRYPT_E_HASH_VALUE, kVendor},
        detached_case{"sha1", L"content.txt", L"sha1.p7s", false, step::signature, NTE_BAD_ALGID, kVendor},
        detached_case{"two_signers", L"content.txt", L"two_signers.p7s", false, step::signature,
                      CRYPT_E_SIGNER_NOT_FOUND, nullptr},
        detached_case{"no_certificates", L"content.txt", L"no_certificates.p7s", false, step::signature,
                      CRYPT_E_NO_SIGNER, nullptr},
        detached_case{"other", L"content.txt", L"other.p7s", false, step::publisher,
                      TRUST_E_SUBJECT_NOT_TRUSTED, L"Other Test Publisher"},
        detached_case{"orphan", L"content.txt", L"orphan.p7s", false, step::chain, 0, kVendor},
        detached_case{"issued_ca_changed", L"content.txt", L"issued_ca_changed.p7s", false, step::chain, 0,
                      kVendor},
        detached_case{"garbage", L"content.txt", L"garbage.p7s", false, step::signature, 0, nullptr},
        detached_case{"empty", L"content.txt", nullptr, false, step::signature, CRYPT_E_NO_SIGNER, nullptr}),
    [](const ::testing::TestParamInfo<detached_case>& info) { return std::string(info.param.name); });

TEST(DetachedSignatureGate, NoPublisherPassesNothing) {
  const signature_verdict verdict = check_detached_signature(case_bytes(L"content.txt"), case_bytes(L"vendor.p7s"),
                                                             std::wstring(), build_publisher_roots());
  EXPECT_FALSE(verdict.trusted);
  EXPECT_EQ(verdict.step, step::publisher);
}

}  // namespace
