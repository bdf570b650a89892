#include "launcher/verified_installer.h"

#include "support/file_information.h"

namespace {

std::wstring md5_text_of(const std::wstring& path) {
  file_information information;
  information.Load(path);
  return information.GetMd5();
}

const code_signer kNoSigner{};

}  // namespace

verified_installer::verified_installer(const std::wstring& path) : hold_(path) {
  // Read while held: nobody can write the file between this digest and the
  // installer's start.
  if (hold_.IsHeld()) md5_ = md5_text_of(path);
}

bool verified_installer::PassesPublisherCheck(const std::wstring& publisher) {
  if (!verdict_) verdict_ = check_publisher_signature(hold_, publisher);
  return verdict_->trusted && (IsHeld() || publisher.empty());
}

const code_signer& verified_installer::Signer() const { return verdict_ ? verdict_->signer : kNoSigner; }

bool verified_installer::Delete() {
  Release();
  return !Path().empty() && ::DeleteFileW(Path().c_str()) != FALSE;
}

void verified_installer::Release() {
  hold_.Release();
}
