#include "support/private_folder.h"

#include "support/file_entry.h"
#include "support/final_path.h"
#include "support/path_utils.h"
#include "support/system_log.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace {

const wchar_t kLinkRemovedLine[] = L"cache folder %s was a link: the link was removed.";
const wchar_t kLinkKeptLine[] = L"cache folder %s is a link that cannot be removed: not used.";
const wchar_t kForeignOwnerLine[] = L"cache folder %s is owned by another account: not used.";
const wchar_t kNotHeldLine[] = L"cache folder %s cannot be used: error %d.";

// The user, SYSTEM and the administrators, each with full control of the
// folder and of everything made in it; nothing inherited from the folder
// above (P), where others may have been given access.
const wchar_t kDaclBegin[] = L"D:P(A;OICI;FA;;;";
const wchar_t kDaclEnd[] = L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Listed and read, never renamed or removed by others while held: no
// FILE_SHARE_DELETE. Opened as the entry itself, so that a link put in its
// place shows as a link rather than as its target.
constexpr DWORD kHoldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL;
constexpr DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kHoldFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

std::wstring without_trailing_separator(std::wstring path) {
  while (path.size() > 1 && path.back() == L'\\') path.pop_back();
  return path;
}

// The calling process's token information of one class, or empty.
std::vector<BYTE> token_information(TOKEN_INFORMATION_CLASS kind) {
  HANDLE token_handle = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token_handle)) return {};
  const afx_kernel_handle token(token_handle);
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), kind, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> information(size);
  if (!::GetTokenInformation(token.Get(), kind, information.data(), size, &size)) return {};
  return information;
}

std::wstring user_sid_text() {
  const std::vector<BYTE> user = token_information(TokenUser);
  if (user.empty()) return std::wstring();
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, &text)) {
    return std::wstring();
  }
  const afx_local_memory owned(text);
  return text;
}

// Makes the folder with its own access list. False with the Windows error.
bool make_folder(const std::wstring& path) {
  const std::wstring user = user_sid_text();
  if (user.empty()) return false;
  const std::wstring dacl = kDaclBegin + user + kDaclEnd;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(dacl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  const afx_local_memory owned(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  return ::CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

bool owned_by_this_account(HANDLE folder) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const afx_local_memory owned(descriptor);
  return is_own_account(owner);
}

// The attributes of what the handle opened itself (a link opened as a link
// shows as one); 0 when they cannot be read.
DWORD attributes_of(HANDLE entry) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return ::GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof(tag)) ? tag.FileAttributes : 0;
}

}  // namespace

bool is_own_account(PSID owner) {
  if (owner == nullptr || !::IsValidSid(owner)) return false;
  const std::vector<BYTE> user = token_information(TokenUser);
  if (!user.empty() && ::EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)) return true;
  const std::vector<BYTE> default_owner = token_information(TokenOwner);
  return !default_owner.empty() &&
         ::EqualSid(owner, reinterpret_cast<const TOKEN_OWNER*>(default_owner.data())->Owner);
}

private_folder::private_folder(const std::wstring& path, creation create) {
  const std::wstring folder = without_trailing_separator(path);
  entry_kind kind = examine_entry(folder);
  if (kind == entry_kind::linked) {
    if (!remove_entry_itself(folder)) {
      g_system_log.write_w(my_system_log::level_failure, kLinkKeptLine, folder.c_str());
      error_ = ERROR_CANT_ACCESS_FILE;
      return;
    }
    g_system_log.write_w(my_system_log::level_failure, kLinkRemovedLine, folder.c_str());
    kind = entry_kind::missing;
  }
  if (kind == entry_kind::missing) {
    if (create == existing_only) {
      error_ = ERROR_PATH_NOT_FOUND;
      return;
    }
    // Another process may make it meanwhile; that one is judged below as any
    // folder found.
    if (!make_folder(folder) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      error_ = ::GetLastError();
      g_system_log.write_w(my_system_log::level_failure, kNotHeldLine, folder.c_str(), static_cast<int>(error_));
      return;
    }
  }

  afx_file_handle held(::CreateFileW(folder.c_str(), kHoldAccess, kHoldSharing, nullptr, OPEN_EXISTING, kHoldFlags,
                                     nullptr));
  if (!held.IsValid()) {
    error_ = ::GetLastError();
    g_system_log.write_w(my_system_log::level_failure, kNotHeldLine, folder.c_str(), static_cast<int>(error_));
    return;
  }
  // Looked at again through the hold: a link put there since the look above
  // is refused, not followed. Held, the name can no longer change.
  const DWORD attributes = attributes_of(held.Get());
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || examine_entry(folder) != entry_kind::plain) {
    error_ = ERROR_CANT_ACCESS_FILE;
    g_system_log.write_w(my_system_log::level_failure, kLinkKeptLine, folder.c_str());
    return;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error_ = ERROR_DIRECTORY;
    g_system_log.write_w(my_system_log::level_failure, kNotHeldLine, folder.c_str(), static_cast<int>(error_));
    return;
  }
  if (!owned_by_this_account(held.Get())) {
    error_ = ERROR_ACCESS_DENIED;
    g_system_log.write_w(my_system_log::level_failure, kForeignOwnerLine, folder.c_str());
    return;
  }
  std::wstring final_path = final_path_of(held.Get());
  if (final_path.empty()) {
    error_ = ::GetLastError();
    g_system_log.write_w(my_system_log::level_failure, kNotHeldLine, folder.c_str(), static_cast<int>(error_));
    return;
  }
  final_path_ = without_trailing_separator(final_path) + L'\\';
  handle_ = std::move(held);
}

bool private_folder::Contains(const std::wstring& final_path) const {
  if (!IsHeld() || final_path.size() <= final_path_.size()) return false;
  const std::wstring folder = final_path.substr(0, final_path_.size());
  const std::wstring name = final_path.substr(final_path_.size());
  return same_path_text(folder, final_path_) && name.find(L'\\') == std::wstring::npos;
}
