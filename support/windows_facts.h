#pragma once
// What the launcher asks of the Windows it runs on and of its own program file.
#include <string>

// True on a 64-bit Windows (x64 or Itanium native architecture). False on any
// other, and where GetNativeSystemInfo does not exist. Asked anew on every
// call: the answer is cheap and must never be stale.
bool Is64BitOS();

// True on an NT-family Windows 6.0 or later, where "runas" asks for elevation.
bool IsNt6OrLater();

// The launcher's own path as GetModuleFileNameW reports it (cut at 260
// characters, as the launcher has always read it). Read once per process.
const std::wstring& own_module_path();

// parent_directory of own_module_path(): the launcher's folder with a
// trailing backslash.
std::wstring launcher_directory();
