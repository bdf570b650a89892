#include "launcher/verified_installer.h"

#include "support/md5.h"
#include "support/system_log.h"

namespace {

const code_signer kNoSigner{};
// The download's check, made on the same held file before it was moved here.
const wchar_t kTakenOverLine[] = L"signature taken over: %s signer %s.";

}  // namespace

verified_installer::verified_installer(const std::wstring& path) : hold_(path) {
  // Read while held, through the hold (the name might lead elsewhere by
  // now, the handle cannot): nobody can write the file between this digest
  // and the installer's start.
  if (hold_.IsHeld()) md5_ = md5_text_of(hold_.Handle());
}

verified_installer::verified_installer(const std::wstring& path, checked_file checked) : hold_(path) {
  if (!hold_.IsHeld()) return;
  if (checked.md5.empty() || !hold_.SameFileAs(checked.file)) {
    md5_ = md5_text_of(hold_.Handle());
    return;
  }
  // The same file, held without a break since its digest was taken.
  md5_ = std::move(checked.md5);
  TakeOverCheck(std::move(checked));
}

bool verified_installer::PassesPublisherCheck(const std::wstring& publisher) {
  if (!verdict_) verdict_ = check_publisher_signature(hold_, publisher);
  return verdict_->trusted && (IsHeld() || publisher.empty());
}

void verified_installer::TakeOverCheck(checked_file checked) {
  if (verdict_ || !hold_.SameFileAs(checked.file)) return;
  verdict_ = checked.verdict;
  if (verdict_->trusted) {
    g_system_log.write_w(my_system_log::level_milestone, kTakenOverLine, Path().c_str(),
                         verdict_->signer.describe().c_str());
  }
}

const code_signer& verified_installer::Signer() const { return verdict_ ? verdict_->signer : kNoSigner; }

bool verified_installer::Delete() { return hold_.ReleaseAndDelete(); }

void verified_installer::Release() {
  hold_.Release();
}
