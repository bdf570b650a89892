#include "app/named_mutex_lock.h"

#include <utility>

named_mutex_lock::named_mutex_lock(std::wstring name) : name_(std::move(name)) {}

named_mutex_lock::~named_mutex_lock() {
  if (handle_.IsValid()) ::ReleaseMutex(handle_.Get());
  handle_.Close();
  name_.clear();
}

bool named_mutex_lock::lock() {
  last_error = ERROR_SUCCESS;
  if (name_.empty()) {
    last_error = ERROR_INVALID_DATA;
    return false;
  }
  if (handle_.IsValid()) {
    last_error = ERROR_ALREADY_EXISTS;
    return false;
  }
  handle_.Reset(::CreateMutexW(nullptr, TRUE, name_.c_str()));
  last_error = ::GetLastError();
  if (!handle_.IsValid()) return false;
  if (last_error != ERROR_ALREADY_EXISTS) return true;
  // Another copy made the mutex: the initial ownership was not granted.
  ::ReleaseMutex(handle_.Get());
  handle_.Close();
  return false;
}
