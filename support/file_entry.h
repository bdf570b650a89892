#pragma once
// One name in a folder, as opposed to what it may lead to. A symbolic link,
// a junction or a second hard link planted under a name the launcher is about
// to write, start or delete would turn that write, start or delete onto a
// file somebody else chose; so such names are recognised, and removed as
// names, never through what they lead to.
#include <string>

enum class entry_kind {
  missing,  // nothing has this name
  plain,    // a file or folder of its own, with this one name
  linked,   // a symbolic link or junction, a file with more than one name,
            // or a name the system resolves to somewhere else
};

entry_kind examine_entry(const std::wstring& path);

// Removes the name `path` itself: a plain file, one name of a file with
// several, or a link or junction (never the file or folder it leads to).
// False when nothing was removed, among others where the system offers no
// way to address a link itself (Wine follows every link it opens) and so the
// only thing that could be removed is the link's target.
bool remove_entry_itself(const std::wstring& path);
