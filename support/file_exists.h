#pragma once
// Whether a name is taken, as the directory search sees it.
#include <string>

// True when the directory search finds anything under `path`: a file or a
// folder (and, as for the search itself, anything a wildcard in it matches).
bool path_exists(const std::wstring& path);

// True when `path` names a folder.
bool directory_exists(const std::wstring& path);
