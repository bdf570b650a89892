#include "support/held_file.h"

held_file::held_file(const std::wstring& path)
    : path_(path),
      handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)),
      hold_error_(handle_.IsValid() ? ERROR_SUCCESS : ::GetLastError()) {}
