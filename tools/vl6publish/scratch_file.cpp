#include "tools/vl6publish/scratch_file.h"

#include "framework/afx_handle.h"

#include <windows.h>

namespace {

const wchar_t kNamePrefix[] = L"vl6";

}  // namespace

scratch_file::scratch_file(const std::vector<char>& bytes) {
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  // Makes the file, empty, under a name nobody else has.
  if (length == 0 || length > MAX_PATH || !::GetTempFileNameW(folder, kNamePrefix, 0, name)) {
    error_ = ::GetLastError();
    return;
  }
  path_ = name;
  afx_file_handle file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                     FILE_ATTRIBUTE_TEMPORARY, nullptr));
  DWORD written = 0;
  const bool whole = file.IsValid() &&
                     (bytes.empty() || (::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                                    &written, nullptr) &&
                                        written == bytes.size()));
  if (!whole) {
    error_ = ::GetLastError() ? ::GetLastError() : ERROR_WRITE_FAULT;
    file.Close();
    ::DeleteFileW(path_.c_str());
    path_.clear();
  }
}

scratch_file::~scratch_file() {
  if (!path_.empty()) ::DeleteFileW(path_.c_str());
}
