#pragma once
// The shell: opening documents, starting programs, removing shortcuts. Nothing here waits for what it
// starts, and nothing throws.

#include <string>
#include <vector>

namespace ledrana::platform {

// ShellExecute "open": hands the document (a Windows path) to the host's default application through
// the opener command (xdg-open unless SetShellOpener changed it) and returns at once. True when the
// document exists and the opener could be started; false otherwise (missing file, no opener, opener
// disabled). Whether the application then shows the document is not known here.
bool ShellOpen(const std::string& windowsPath);

// The host command used by ShellOpen, given the host path of the document as its one argument.
// "" disables opening (ShellOpen returns false): tests and unattended runs use that.
void SetShellOpener(const std::string& hostCommand);
std::string ShellOpener();

// Result of StartProgram.
enum class StartResult {
    Started,       // a host executable was started
    NotFound,      // the file does not exist (or the path is malformed)
    NotExecutable, // the file exists but is not a host executable (for example a Windows .EXE)
    Failed,        // the host could not start it
    Disabled,      // starting programs is turned off (SetProgramStarting(false))
};

// Starts a program given by its Windows path, with arguments, without waiting for it. Only host
// executables can be started; anything else gives NotExecutable, which callers may ignore.
StartResult StartProgram(const std::string& windowsPath, const std::vector<std::string>& arguments = {});

// Turns the starting of programs off (StartProgram then gives Disabled and starts nothing) or back on.
// Unattended runs and tests turn it off.
void SetProgramStarting(bool enabled);

// The setup toolkit's fRemoveShellLink(folder, link name): removes the shortcut file `linkName` + ".lnk"
// from `folder`, a folder relative to the Start menu's Programs folder ("..\..\Desktop" is the desktop)
// or a full Windows path. The link name is matched without regard to case. True when a shortcut was
// removed, false when there was none (or it could not be removed).
bool RemoveShellLink(const std::string& folder, const std::string& linkName);

} // namespace ledrana::platform
