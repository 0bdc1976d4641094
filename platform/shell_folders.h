#pragma once
// Special folders of the stand-in Windows machine. All results are Windows paths (see platform/paths.h).

#include <string>

namespace ledrana::platform {

// Shell folder identifiers (CSIDL values) known here.
inline constexpr int CSIDL_DESKTOP_FOLDER = 0x0010; // C:\WINDOWS\Desktop
inline constexpr int CSIDL_PROGRAMS = 0x0002;       // C:\WINDOWS\Start Menu\Programs
inline constexpr int CSIDL_PERSONAL = 0x0005;       // the host user's Documents folder, as a Z: path
inline constexpr int CSIDL_STARTMENU = 0x000b;      // C:\WINDOWS\Start Menu
inline constexpr int CSIDL_WINDOWS = 0x0024;        // C:\WINDOWS

// GetWindowsDirectory: "C:\WINDOWS". It lies in the prefix (<prefix>/drive_c/WINDOWS) and is created
// with the prefix's skeleton (SetPrefix).
std::string GetWindowsDirectory();

// The path of a special folder; "" for an identifier not listed above, and for CSIDL_PERSONAL when the
// host user has no Documents folder. The Programs folder is C:\WINDOWS\Start Menu\Programs and the
// desktop C:\WINDOWS\Desktop, so "..\..\Desktop" taken on Programs is the desktop. Never throws.
std::string SpecialFolderPath(int csidl);

// The host user's Documents folder as a Z: path without a trailing "\": XDG_DOCUMENTS_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config) when it names an existing folder, else ~/Documents
// when it exists; "" when there is none. Read afresh on every call. Never throws.
std::string DocumentsFolder();

} // namespace ledrana::platform
