#pragma once
// Windows paths on this host. A *prefix* folder stands in for the Windows machine:
//   C:\...   is  <prefix>/drive_c/...
//   Z:\...   is  the host's root, so every host path has a Windows spelling (/opt/x is Z:\opt\x)
//   X:\...   for another letter is <prefix>/dosdevices/x: when that exists (a link to a folder, for
//            example a mounted network share); otherwise the drive is unknown (error 76).
//   \\SERVER\share\...  is <prefix>/unc/server/share/..., the folder where that share is mounted (or a link
//            to it); server and share are matched without regard to case like every other name. A share
//            that is not there is unknown, like a missing drive (error 76).
// The prefix is the folder named by TESSARO_PREFIX, or ~/.tessaro when that variable is unset or empty.
// Tests and tools may set it explicitly (SetPrefix / ScopedPrefix). The platform reads the environment;
// nothing else in the program does.
//
// Resolution rules (HostPath):
//   - "\" and "/" are both separators; repeated separators count as one.
//   - "." and ".." are applied to the text before anything is looked up; ".." never climbs above a
//     drive's root.
//   - Every component is matched against what exists on disk without regard to case ("\LEDRANA\Ini",
//     "\LEDRANA\INI" and "\ledrana\ini" name one folder). When several entries differ only in case
//     (LEDRANA and ledrana both on disk), every spelling resolves to the same one: the first of them in
//     byte order (LEDRANA), even when another matches the spelling given exactly, so a key written through
//     one spelling is read through any other. A component that does not exist keeps the case given,
//     and so do all components after it, so a folder or file created through that path is created so.
//   - A path without a drive is taken on the current folder: "\x" is the root of the current folder's
//     drive, "x\y" is relative to it. The current folder is the host's current working folder.
//   - A share's root is \\server\share: ".." never climbs above it, and "\x" on a current folder inside a
//     share is x in that share. "\\server" alone names no folder (76).
//   - Characters that Windows does not allow in names (< > " | ? * and control characters, ':' other
//     than after the drive letter) give error 52; so does an empty path.

#include <string>

namespace ledrana::platform {

// The prefix named by the environment (TESSARO_PREFIX, else $HOME/.tessaro). Does not create it.
std::string DefaultPrefix();

// The host folder of the prefix in use. On first use it is DefaultPrefix().
std::string Prefix();

// Uses hostFolder (an absolute or relative host path) as the prefix from now on. The prefix's skeleton
// (drive_c/WINDOWS, drive_c/WINDOWS/Start Menu/Programs, drive_c/WINDOWS/Desktop) is made when missing at
// the machine's first use: the first C: or share path resolved on it (MakeSkeleton). A skeleton that cannot
// be created is not an error here: later calls fail with their own numbers.
void SetPrefix(const std::string& hostFolder);

// As SetPrefix, for a machine that is only looked at and must stay exactly as it is (the real machine of a
// preview): no skeleton is ever made on it.
void ExaminePrefix(const std::string& hostFolder);

// Makes the skeleton of the prefix set by SetPrefix, once, when it is missing (paths resolved on the
// machine do this themselves; GetWindowsDirectory too).
void MakeSkeleton();

// Sets a prefix for the lifetime of the object and puts back the previous one (tests).
class ScopedPrefix {
public:
    explicit ScopedPrefix(const std::string& hostFolder);
    ~ScopedPrefix();
    ScopedPrefix(const ScopedPrefix&) = delete;
    ScopedPrefix& operator=(const ScopedPrefix&) = delete;

private:
    std::string previous_;
    bool previousPending_ = false;
};

// The host path of a Windows path, resolved by the rules above. The path need not exist: missing
// components are appended as given, so the result can be used to create the file or folder.
// Throws Error 52 for an empty or malformed path, 76 for an unknown drive or a UNC path.
std::string HostPath(const std::string& windowsPath);

// The Windows spelling of a host path: under <prefix>/drive_c it is a C: path, under
// <prefix>/unc/server/share a \\server\share path (names as on disk), anything else a Z: path. A relative
// host path is taken on the current working folder first. Separators are "\", the drive letter is upper case,
// a drive's root ends with "\" ("C:\"), other paths have no trailing "\".
std::string WindowsPath(const std::string& hostPath);

// A Windows path normalised for display: "/" turned into "\", "." and ".." applied, repeated separators
// collapsed, no trailing "\" except at a drive's root ("\\server\share" has none). Nothing is looked up on
// disk and the case is kept.
std::string NormalizeWindowsPath(const std::string& windowsPath);

} // namespace ledrana::platform
