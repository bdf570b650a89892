#include "support/file_information.h"

#include "framework/afx_handle.h"
#include "support/system_libraries.h"
#include "support/text_utils.h"
#include "support/md5.h"

#include <cwchar>
#include <cstring>
#include <vector>

namespace {

// Appended unchanged to the translation's block path, leading backslash included.
const wchar_t* const kVersionKeys[file_information::version_key_count] = {
    L"\\CompanyName",    L"\\FileDescription", L"\\FileVersion",     L"\\InternalName",
    L"\\LegalCopyright", L"\\OriginalFileName", L"\\ProductName",    L"\\ProductVersion",
    L"\\Comments",       L"\\LegalTrademarks", L"\\PrivateBuild",    L"\\SpecialBuild",
};

const wchar_t kStringFileInfo[] = L"\\StringFileInfo\\";
const wchar_t kTranslation[] = L"\\VarFileInfo\\Translation";
const wchar_t kQueryFormat[] = L"%ls%04x%04x%ls";
constexpr size_t kQueryPathLength = 100;

// Only these kinds of file carry a version resource worth asking for.
const wchar_t* const kVersionedExtensions[] = {L"exe", L"dll", L"sys", L"mui"};

// When the size query gives nothing the read is still tried, with room for an
// ordinary resource; the read itself then decides whether there is one.
constexpr DWORD kFallbackVersionInfoSize = 3380;

bool has_versioned_extension(const std::wstring& extension) {
  for (const wchar_t* versioned : kVersionedExtensions) {
    if (::CompareStringOrdinal(extension.c_str(), -1, versioned, -1, TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

}  // namespace

const std::wstring& file_information::version_string(size_t index) const {
  static const std::wstring none;
  return index < version_key_count ? version_strings_[index] : none;
}

bool file_information::Load(const std::wstring& path) {
  const bool has_extension = take_extension(path);
  const bool found = take_directory_facts(path);
  const bool versioned = ReadVersionInfo(path);
  const bool digested = take_digest(path);
  return has_extension && found && versioned && digested;
}

bool file_information::ReadVersionInfo(const std::wstring& path) {
  if (extension_.empty()) take_extension(path);
  if (!has_versioned_extension(extension_)) return false;

  clear_version_strings();
  const version_functions* version = version_library();
  if (!version) return false;

  DWORD handle = 0;
  DWORD size = version->GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) size = kFallbackVersionInfoSize;
  // One zeroed character past what the read may fill, so that a string the
  // resource leaves unterminated still ends inside the buffer.
  std::vector<BYTE> block(size + sizeof(wchar_t), 0);
  if (!version->GetFileVersionInfoW(path.c_str(), handle, size, block.data())) return false;

  void* translation = nullptr;
  UINT translation_length = 0;
  WORD language_and_code_page[2] = {};
  if (!version->VerQueryValueW(block.data(), kTranslation, &translation, &translation_length) ||
      translation_length < sizeof(language_and_code_page)) {
    return false;
  }
  // Only the first translation counts: the strings of one language, never a mix.
  std::memcpy(language_and_code_page, translation, sizeof(language_and_code_page));

  for (size_t index = 0; index < version_key_count; ++index) {
    wchar_t query[kQueryPathLength] = {};
    std::swprintf(query, kQueryPathLength, kQueryFormat, kStringFileInfo,
                  static_cast<unsigned>(language_and_code_page[0]),
                  static_cast<unsigned>(language_and_code_page[1]), kVersionKeys[index]);
    void* value = nullptr;
    UINT value_length = 0;
    if (version->VerQueryValueW(block.data(), query, &value, &value_length) && value) {
      // The reported length counts differently between systems; the text ends at its NUL.
      version_strings_[index] = static_cast<const wchar_t*>(value);
    }
  }
  return true;
}

bool file_information::take_extension(const std::wstring& path) {
  // The first character is never examined: a bare name whose only dot comes
  // first (".profile") has no extension.
  for (size_t i = path.size(); i-- > 1;) {
    const wchar_t c = path[i];
    if (c == L'\\' || c == L'/') return false;
    if (c == L'.') {
      extension_ = path.substr(i + 1);
      return true;
    }
  }
  return false;
}

bool file_information::take_directory_facts(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  afx_find_handle search(::FindFirstFileW(path.c_str(), &found));
  if (!search.IsValid()) return false;
  file_name_ = found.cFileName;
  attributes_ = found.dwFileAttributes;
  creation_time_ = found.ftCreationTime;
  last_access_time_ = found.ftLastAccessTime;
  last_write_time_ = found.ftLastWriteTime;
  size_high_ = found.nFileSizeHigh;
  size_low_ = found.nFileSizeLow;
  return true;
}

bool file_information::take_digest(const std::wstring& path) {
  // The wide path: its ANSI form cannot name a file whose path holds characters
  // outside the ANSI code page, and such users could never install.
  unsigned char digest[md5_digest_size] = {};
  if (!md5_file(path, digest)) return false;
  std::string hex;
  if (!md5_hex(digest, hex)) return false;
  md5_ = ansi_to_wide(CP_ACP, hex);
  return true;
}

void file_information::clear_version_strings() {
  for (std::wstring& text : version_strings_) text.clear();
}
