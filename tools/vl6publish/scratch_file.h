#pragma once
// A file of the tool's own in the temporary folder, deleted when the value
// goes: where a downloaded body is laid down so that the launcher's checks,
// which read files, can read it.
#include <string>
#include <vector>

class scratch_file {
public:
  // Writes `bytes` to a new file in the temporary folder. On failure Path()
  // is empty and Error() tells the Windows error.
  explicit scratch_file(const std::vector<char>& bytes);
  scratch_file(const scratch_file&) = delete;
  scratch_file& operator=(const scratch_file&) = delete;
  ~scratch_file();

  const std::wstring& Path() const { return path_; }
  unsigned long Error() const { return error_; }

private:
  std::wstring path_;
  unsigned long error_ = 0;
};
