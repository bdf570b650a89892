#include "update/manifest_serial_store.h"

#include "framework/afx_handle.h"

#include <windows.h>

uint64_t registry_serial_store::highest() const {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return 0;
  const afx_registry_key key(opened);
  uint64_t serial = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof(serial);
  // A value that cannot be read, or is of another type or size, counts as 0:
  // whoever could write it could as well have deleted it, and no reading of
  // it may lock the launcher out of every later manifest. The next accepted
  // manifest writes it anew.
  if (::RegQueryValueExW(key.Get(), kManifestSerialValue, nullptr, &type, reinterpret_cast<BYTE*>(&serial),
                         &size) != ERROR_SUCCESS ||
      type != REG_QWORD || size != sizeof(serial)) {
    return 0;
  }
  return serial;
}

bool registry_serial_store::raise(uint64_t serial) {
  if (serial <= highest()) return true;
  HKEY made = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, key_, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &made, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const afx_registry_key key(made);
  return ::RegSetValueExW(key.Get(), kManifestSerialValue, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&serial),
                          sizeof(serial)) == ERROR_SUCCESS;
}
