#pragma once
// Making a folder together with any missing folders above it.
#include <string>

// True when `folder` (ending in a backslash) exists or was made, after the
// missing folders above it were made from the top down. The text is taken as
// written (no normalization), so a share's "\\server\share\" prefix keeps its
// meaning. Stops at the first folder that exists or cannot be made.
bool make_folder_tree(const std::wstring& folder);
