#pragma once
// The highest manifest serial this launcher has accepted, kept from one run
// to the next, so that a manifest of an earlier release, however well signed,
// is never taken again once a later one was (see manifest_signing.h).
#include <cstdint>

class manifest_serial_store {
public:
  virtual ~manifest_serial_store() = default;
  // 0 when none was ever accepted.
  virtual uint64_t highest() const = 0;
  // Records `serial` when it is higher than the highest kept; false when it
  // could not be recorded.
  virtual bool raise(uint64_t serial) = 0;
};

// Per user: HKCU\Software\Velora\Launcher, value ManifestSerial (REG_QWORD).
inline constexpr wchar_t kLauncherRegistryKey[] = L"Software\\Velora\\Launcher";
inline constexpr wchar_t kManifestSerialValue[] = L"ManifestSerial";

class registry_serial_store : public manifest_serial_store {
public:
  // `key` below HKEY_CURRENT_USER; made when first raised.
  explicit registry_serial_store(const wchar_t* key = kLauncherRegistryKey) : key_(key) {}
  uint64_t highest() const override;
  bool raise(uint64_t serial) override;

private:
  const wchar_t* key_;
};
