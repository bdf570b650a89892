#pragma once
// Where the launcher itself lives.
#include <string>

// The launcher's own path as GetModuleFileNameW reports it (cut at 260
// characters, as the launcher has always read it).
std::wstring own_module_path();

// parent_directory of own_module_path(): the launcher's folder with a
// trailing backslash.
std::wstring launcher_directory();
