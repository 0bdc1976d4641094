#pragma once
// Removal of the desktop shortcuts and Start-menu program groups that earlier versions installed.

#include <string>

namespace ledrana {

// The vendor's forum address, part of three of the old shortcut names. A shortcut's name is a file name, so
// the address carries no path: with a "/" those three shortcuts could never be found.
inline constexpr const char* kIndirizzoForum = "forum.tessaro.it";

// The path of a special shell folder (2: the Start menu's Programs folder); "" when the shell does not
// know the identifier.
std::string GetDirSpeciale(int cartella);

// Removes the old shortcuts by name (folders relative to the Programs folder), then the program groups
// Programs\Ledrana and Programs\Tessaro when they are empty. Shortcuts and groups that are not there, and
// groups that still hold anything, are left as they are.
void CollegamentiDesktop();

} // namespace ledrana
