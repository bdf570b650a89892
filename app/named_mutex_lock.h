#pragma once
// Owns a named mutex for as long as the object lives: the launcher's guard
// against a second copy in the same logon session.
#include "framework/afx_handle.h"

#include <string>

class named_mutex_lock {
public:
  explicit named_mutex_lock(std::wstring name);
  named_mutex_lock(const named_mutex_lock&) = delete;
  named_mutex_lock& operator=(const named_mutex_lock&) = delete;
  virtual ~named_mutex_lock();

  // True when this object now owns the mutex. Otherwise last_error says why:
  // ERROR_INVALID_DATA for an empty name, ERROR_ALREADY_EXISTS when the mutex
  // existed already (another copy runs) or this object holds it already, else
  // the error of the failed creation.
  bool lock();

  unsigned long last_error = 0;

private:
  std::wstring name_;
  afx_kernel_handle handle_;
};
