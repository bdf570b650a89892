#pragma once
// Canonical path texts. A directory text always ends with a backslash; paths
// are built by joining such a directory with a name that begins with one and
// passing the result through normalize_path.
#include <string>

// Slashes become backslashes, each pair of backslashes becomes one (a run of n
// becomes n/2 rounded up), then %NAME% references are expanded.
std::wstring normalize_path(const std::wstring& path);

// The normalized path up to and including its last backslash; empty without one.
std::wstring parent_directory(const std::wstring& path);

// The part of the normalized path after its last backslash (all of it without one).
std::wstring file_name_of(const std::wstring& path);

// The directory above a directory ("C:\a\b\" -> "C:\a\") or a file's directory
// ("C:\a\b.txt" -> "C:\a\"); empty when there is none.
std::wstring parent_of_directory(const std::wstring& path);
