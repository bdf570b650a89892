// The publisher check on files signed and spoiled in every way that matters
// (tests/signature_cases), against the test roots this prefix trusts. Only
// the vendor's own signature passes; each refusal is logged with the file,
// the step that refused it, the result and the signer seen.
#include "support/held_file.h"
#include "support/publisher_roots.h"
#include "support/publisher_signature.h"
#include "support/system_log.h"
#include "support/windows_facts.h"
#include "tests/support/test_files.h"
#include "velora_endpoints.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

using step = signature_verdict::step_kind;

const std::wstring kPublisher = VELORA_PUBLISHER;
const wchar_t kOtherPublisher[] = L"Other Test Publisher";

struct gate_case {
  const char* name;
  const wchar_t* file;
  bool trusted;
  // Where Windows' own WinVerifyTrust refuses, Wine's lets SHA-256 signers
  // through and the chain check refuses: either step is the gate doing its work.
  std::set<step> steps;
  const wchar_t* signer_organization;  // null: no signer read
  // When the chain step refuses, the result it must give (0: any).
  LONG chain_result = 0;
};

std::ostream& operator<<(std::ostream& out, const gate_case& c) { return out << c.name; }

std::wstring case_path(const wchar_t* file) {
  return path_from_environment("VELORA_SIGNATURE_CASES") + L"\\" + file;
}

class PublisherCheck : public ::testing::TestWithParam<gate_case> {};

TEST_P(PublisherCheck, OnlyTheVendorsSignaturePasses) {
  const gate_case& c = GetParam();
  const std::wstring log = launcher_directory() + L"system.log";
  ::DeleteFileW(log.c_str());
  {
    log_switch_files switches(true, false);
    ASSERT_TRUE(g_system_log.init(launcher_directory().c_str()));
  }

  const held_file file(case_path(c.file));
  const signature_verdict verdict = check_publisher_signature(file, kPublisher);
  EXPECT_EQ(verdict.trusted, c.trusted) << std::hex << verdict.result;
  EXPECT_TRUE(c.steps.count(verdict.step)) << verdict.step << " " << std::hex << verdict.result;
  if (c.chain_result && verdict.step == step::chain) {
    EXPECT_EQ(static_cast<unsigned long>(verdict.result), static_cast<unsigned long>(c.chain_result))
        << std::hex << verdict.result;
  }
  if (c.signer_organization && verdict.step == step::signature) {
    // Where WinVerifyTrust itself refuses, whether it still names the signer
    // differs between Windows and Wine; a name it gives is the one signed with.
    EXPECT_TRUE(verdict.signer.empty() || verdict.signer.organization == c.signer_organization)
        << verdict.signer.describe();
  } else if (c.signer_organization) {
    EXPECT_EQ(verdict.signer.organization, c.signer_organization);
  } else {
    EXPECT_TRUE(verdict.signer.empty()) << verdict.signer.describe();
  }
  EXPECT_EQ(verdict.result == S_OK, c.trusted);

  const std::string text = read_file(log);
  const std::string name(c.file, c.file + std::wcslen(c.file));
  if (c.trusted) {
    EXPECT_EQ(text.find("signature refused"), std::string::npos) << text;
  } else {
    const size_t at = text.find("signature refused: ");
    ASSERT_NE(at, std::string::npos) << text;
    const size_t line = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    const std::string refusal = text.substr(line, text.find('\n', at) - line);
    // "LogLv:<threshold>/<level>"
    EXPECT_NE(refusal.find("/5\tLauncher\t"), std::string::npos) << "logged at level 5: " << refusal;
    EXPECT_NE(refusal.find(name), std::string::npos) << refusal;
    EXPECT_NE(refusal.find(" result 0x"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find(verdict.signer.empty() ? " signer none" : " signer O="), std::string::npos)
        << refusal;
  }
  g_system_log.init(launcher_directory().c_str());  // off again: no switch file now
  ::DeleteFileW(log.c_str());
}

const wchar_t* const kVendor = kPublisher.c_str();

INSTANTIATE_TEST_SUITE_P(Files, PublisherCheck, ::testing::Values(
    gate_case{"VendorSigned", L"vendor.exe", true, {step::passed}, kVendor},
    gate_case{"Unsigned", L"unsigned.exe", false, {step::signature}, nullptr},
    gate_case{"CodeByteChangedAfterSigning", L"code_changed.exe", false, {step::signature}, kVendor},
    gate_case{"BytesAppendedAfterSigning", L"appended.exe", false, {step::signature}, nullptr},
    gate_case{"SignatureByteChanged", L"signature_changed.exe", false, {step::signature, step::chain},
              kVendor},
    gate_case{"AnotherPublisherWithATrustedRoot", L"other.exe", false, {step::publisher},
              kOtherPublisher},
    gate_case{"SelfSignedWithTheVendorsNames", L"lookalike.exe", false, {step::signature, step::chain},
              kVendor},
    gate_case{"ExpiredLeaf", L"expired.exe", false, {step::signature, step::chain}, kVendor, CERT_E_EXPIRED},
    gate_case{"LeafWithoutCodeSigningUsage", L"nousage.exe", false, {step::signature, step::chain},
              kVendor, CERT_E_WRONG_USAGE},
    gate_case{"LeafBytesChanged", L"altered.exe", false, {step::signature, step::chain}, kVendor},
    // Wine's Authenticode policy answers 0 for a chain that stops at the leaf.
    gate_case{"IssuerCertificateExistsNowhere", L"orphan.exe", false, {step::signature, step::chain},
              kVendor, CERT_E_CHAINING},
    // The time a chain is judged at is now: Wine takes the time of a
    // counter-signature it never verifies, or else the file's own time.
    gate_case{"ExpiredLeafWithAForgedTimeStamp", L"expired_forged_time.exe", false,
              {step::signature, step::chain}, kVendor, CERT_E_EXPIRED},
    gate_case{"ExpiredLeafWithAnOldFileTime", L"expired_old_file.exe", false, {step::signature, step::chain},
              kVendor, CERT_E_EXPIRED},
    // A CA the machine trusts is not yet the vendor's: the build pins its root.
    gate_case{"VendorNamesFromATrustedRootNotPinned", L"unpinned.exe", false, {step::chain}, kVendor,
              CERT_E_UNTRUSTEDROOT},
    // Any program of the user may add a root to the user's own store; only
    // the machine's roots count, so the chain cannot be completed.
    gate_case{"RootTrustedOnlyInTheUsersOwnStore", L"userroot.exe", false, {step::chain}, kVendor,
              CERT_E_CHAINING},
    gate_case{"VendorSignedThroughItsIssuingCA", L"issued.exe", true, {step::passed}, kVendor},
    gate_case{"EmptyFile", L"empty.exe", false, {step::signature}, nullptr},
    gate_case{"Folder", L"folder.exe", false, {step::file}, nullptr},
    gate_case{"MissingFile", L"missing.exe", false, {step::file}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// The CA certificates a chain must hold one of, given apart from the build's
// pin of the vendor root: by the thumbprint files of the test CAs
// (tools/test_pki) beside the cases.
struct pin_case {
  const char* name;
  const wchar_t* file;
  std::vector<const wchar_t*> pinned;  // the test CAs' names
  bool trusted;
  LONG result;
};

std::ostream& operator<<(std::ostream& out, const pin_case& c) { return out << c.name; }

publisher_roots thumbprints_of(const std::vector<const wchar_t*>& names) {
  publisher_roots roots;
  for (const wchar_t* name : names) {
    const std::string text = read_file(case_path((std::wstring(name) + L".sha256").c_str()));
    publisher_roots one;
    EXPECT_TRUE(parse_publisher_roots(std::wstring(text.begin(), text.end()), one) && one.size() == 1)
        << "no thumbprint for " << std::string(name, name + std::wcslen(name)) << ": " << text;
    roots.insert(roots.end(), one.begin(), one.end());
  }
  return roots;
}

class PublisherCheckPins : public ::testing::TestWithParam<pin_case> {};

TEST_P(PublisherCheckPins, TheChainMustHoldAPinnedCA) {
  const pin_case& c = GetParam();
  const held_file file(case_path(c.file));
  const signature_verdict verdict = check_publisher_signature(file, kPublisher, thumbprints_of(c.pinned));
  EXPECT_EQ(verdict.trusted, c.trusted) << verdict.step_name() << " " << std::hex << verdict.result;
  EXPECT_EQ(static_cast<unsigned long>(verdict.result), static_cast<unsigned long>(c.result))
      << verdict.step_name() << " " << std::hex << verdict.result;
  EXPECT_EQ(verdict.step, c.trusted ? step::passed : step::chain);
}

INSTANTIATE_TEST_SUITE_P(Pins, PublisherCheckPins, ::testing::Values(
    pin_case{"NoPinTakesAnyRootTheMachineTrusts", L"unpinned.exe", {}, true, S_OK},
    pin_case{"VendorRootNotAmongThePins", L"vendor.exe", {L"other-root"}, false, CERT_E_UNTRUSTEDROOT},
    pin_case{"OneOfSeveralPins", L"vendor.exe", {L"other-root", L"vendor-root"}, true, S_OK},
    pin_case{"TheIssuingCAPinnedAlone", L"issued.exe", {L"vendor-ca"}, true, S_OK},
    // Pinned or not, a root only the user's own store holds is no root of
    // the machine's engine: the chain stops short of it.
    pin_case{"ARootOnlyTheUserTrustsEvenPinned", L"userroot.exe", {L"user-root"}, false, CERT_E_CHAINING}),
    [](const auto& info) { return std::string(info.param.name); });

// How the setting's text reads: any case, "," or ";" between thumbprints,
// colons and white space ignored; anything else is no list at all.
TEST(PublisherRootsText, ReadsThumbprintsAndNothingElse) {
  const std::wstring a(64, L'a');
  const std::wstring b = L"0123456789ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef";
  struct text_case {
    std::wstring text;
    bool reads;
    size_t count;
  };
  const text_case cases[] = {
      {L"", true, 0},
      {a, true, 1},
      {a + L"," + b, true, 2},
      {L" " + a + L" ; " + b + L";", true, 2},
      {L"AA:" + a.substr(2), true, 1},
      {a.substr(1), false, 0},         // 63 digits
      {a + L"a", false, 0},            // 65 digits
      {a.substr(1) + L"g", false, 0},  // not hex
      {a + L"/" + b, false, 0},        // no separator
  };
  for (const text_case& c : cases) {
    publisher_roots roots(1);
    EXPECT_EQ(parse_publisher_roots(c.text, roots), c.reads) << std::string(c.text.begin(), c.text.end());
    const size_t expected = c.reads ? c.count : 1;  // a text that does not read leaves the list alone
    EXPECT_EQ(roots.size(), expected) << std::string(c.text.begin(), c.text.end());
  }
  publisher_roots roots;
  ASSERT_TRUE(parse_publisher_roots(b, roots));
  EXPECT_EQ(roots[0][0], 0x01);
  EXPECT_EQ(roots[0][7], 0xEF);
  EXPECT_EQ(roots[0][31], 0xEF);
}

// A signature that could not be read at all never names a signer, and a
// check with no publisher set is the gate switched off: everything passes.
TEST(PublisherCheckOff, EmptyPublisherPassesEvenUnsignedFiles) {
  const held_file file(case_path(L"unsigned.exe"));
  const signature_verdict verdict = check_publisher_signature(file, L"");
  EXPECT_TRUE(verdict.trusted);
  EXPECT_EQ(verdict.step, step::gate_off);
}

// The check reads the bytes through the handle that holds them: a file held
// against writers is checked as it is, and nobody can change it meanwhile.
TEST(PublisherCheckHold, HeldFileCannotBeChangedWhileChecked) {
  temp_folder work(L"gate-hold");
  const std::wstring copy = work.path() + L"setup.exe";
  ASSERT_TRUE(copy_file(case_path(L"vendor.exe"), copy));
  const held_file file(copy);
  ASSERT_TRUE(file.IsHeld());
  EXPECT_TRUE(check_publisher_signature(file, kPublisher).trusted);
  HANDLE writer = ::CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
  EXPECT_FALSE(::DeleteFileW(copy.c_str()));
}

}  // namespace
