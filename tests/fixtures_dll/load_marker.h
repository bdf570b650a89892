#pragma once
// The trace a planted DLL leaves when a process loads it: an empty file named
// after the DLL's own path plus this suffix ("...\wininet.dll.loaded"), so one
// binary copied under several names tells which of its copies was loaded.
#include <windows.h>

inline constexpr wchar_t kLoadMarkerSuffix[] = L".loaded";

// Called on process attach; any failure is silent, as the marker's absence
// is what the tests look at.
void write_load_marker(HMODULE self);
