#pragma once
// Links as another program of the same user makes them: symbolic links of the
// Unix system under Wine (its links and junctions), made and pointed
// elsewhere by the system's own ln, which Wine starts like any program.
#include <string>

// The Unix path Wine gives `windows_path` (whose folder must exist); empty
// when there is none.
std::string unix_path_of(const std::wstring& windows_path);

// Makes `link` a symbolic link to `target`, or points an existing one there.
bool make_unix_link(const std::wstring& target, const std::wstring& link);

// Makes `name` a second name (a hard link) of the file `existing`.
bool make_hard_link(const std::wstring& existing, const std::wstring& name);

// Removes the link `link` itself (rm, which never follows it). Tests remove
// their links before their folders go: under Wine, removing a folder's
// contents through Win32 would remove what a link there leads to.
bool remove_unix_link(const std::wstring& link);

// True when `path` is itself a symbolic link (not what it leads to).
bool is_unix_link(const std::wstring& path);

// True when the system can address a link itself: a handle opened on a link
// with FILE_FLAG_OPEN_REPARSE_POINT is the link, as on Windows. Wine 8
// follows every link it opens, so whatever it removes through a link is the
// target.
bool links_can_be_addressed();
