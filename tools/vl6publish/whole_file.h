#pragma once
// A small file read whole: a manifest, a certificate, a key.
#include <windows.h>

#include <string>
#include <vector>

// The file's bytes; false, with GetLastError telling why, when it cannot be
// opened or read whole, or is not below 4 GiB.
bool read_whole_file(const std::wstring& path, std::vector<char>& bytes);
