#pragma once
// What the launcher knows of one file on disk: its extension, the facts the
// directory search reports, the strings of its version resource and its MD5.
// The extension, the directory facts and the digest keep the values of an
// earlier load when a step cannot produce new ones; the version strings start
// over for every program path (see ReadVersionInfo).
#include <windows.h>

#include <cstddef>
#include <string>

class file_information {
public:
  // Indexes of version_string(); the order is that of the keys in the .cpp.
  enum version_key : size_t {
    company_name,
    file_description,
    file_version,
    internal_name,
    legal_copyright,
    original_file_name,
    product_name,
    product_version,
    comments,
    legal_trademarks,
    private_build,
    special_build,
    version_key_count
  };

  file_information() = default;
  file_information(const file_information&) = default;
  file_information& operator=(const file_information&) = default;
  file_information(file_information&&) = default;
  file_information& operator=(file_information&&) = default;
  virtual ~file_information() = default;

  // Takes the extension, the directory facts, the version strings and the MD5
  // of `path`, each step whatever the others gave. True only when the path has
  // an extension, the file was found, its version resource was read and it was
  // digested; a file that is not a program still gets its facts and its MD5.
  bool Load(const std::wstring& path);

  // Reads the version strings of `path` (taking its extension first when none
  // is known yet). False, with the strings untouched, unless the extension is
  // exe, dll, sys or mui in any case; false, with every string empty, when the
  // file has no readable version resource. True even when keys are missing:
  // their strings are then empty.
  bool ReadVersionInfo(const std::wstring& path);

  std::wstring GetFileVersion() const { return version_strings_[file_version]; }
  std::wstring GetProductVersion() const { return version_strings_[product_version]; }
  // 32 lower-case hex digits, or empty when no file was digested yet.
  std::wstring GetMd5() const { return md5_; }

  // Without the dot, as written in the path.
  const std::wstring& extension() const { return extension_; }
  // The name as the directory search reports it (no folder).
  const std::wstring& file_name() const { return file_name_; }
  DWORD attributes() const { return attributes_; }
  const FILETIME& creation_time() const { return creation_time_; }
  const FILETIME& last_access_time() const { return last_access_time_; }
  const FILETIME& last_write_time() const { return last_write_time_; }
  DWORD size_high() const { return size_high_; }
  DWORD size_low() const { return size_low_; }
  // Empty for a key the resource lacks and for an index past the last key.
  const std::wstring& version_string(size_t index) const;

private:
  // True when the last path component has a "." after its first character;
  // otherwise the stored extension stays as it was.
  bool take_extension(const std::wstring& path);
  // False, with the facts untouched, when the search finds nothing.
  bool take_directory_facts(const std::wstring& path);
  // False, with the digest text untouched, when the file cannot be read.
  bool take_digest(const std::wstring& path);
  void clear_version_strings();

  std::wstring extension_;
  std::wstring file_name_;
  DWORD attributes_ = 0;
  FILETIME creation_time_ = {};
  FILETIME last_access_time_ = {};
  FILETIME last_write_time_ = {};
  DWORD size_high_ = 0;
  DWORD size_low_ = 0;
  std::wstring version_strings_[version_key_count];
  std::wstring md5_;
};
