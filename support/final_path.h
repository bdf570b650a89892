#pragma once
// What the file system itself calls an open file or folder: the path of the
// handle, after every link, junction and short name on the way was resolved.
// A path text can be made to lead somewhere else; an open handle cannot, so
// whoever must act on exactly what it checked names it by its handle.
#include <windows.h>

#include <string>

// The final path of `handle` as a plain Win32 path ("C:\...", or
// "\\server\share\..." for a network file), fit to hand to the shell; empty
// when the system cannot name it.
std::wstring final_path_of(HANDLE handle);

// Two paths name the same entry when they are equal but for case, as the file
// system compares names.
bool same_path_text(const std::wstring& a, const std::wstring& b);
