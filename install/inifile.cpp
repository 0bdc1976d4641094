#include "install/inifile.h"

#include "platform/profile.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

namespace ledrana {

std::string readinifile(Reporter& w, const std::string& sezione, const std::string& chiave,
                        const std::string& fileIni) {
    w.ProgressTick();
    std::string buffer;
    int n = platform::GetPrivateProfileString(UCase(sezione), chiave, "", buffer, 100, fileIni);
    return UCase(LeftChars(buffer, static_cast<std::size_t>(n)));
}

std::string writeinifile(Reporter& w, const std::string& sezione, const std::string& chiave,
                         const std::string& valore, const std::string& fileIni) {
    w.ProgressTick();
    platform::WritePrivateProfileString(sezione, chiave, valore, fileIni); // a failed write is silent
    return "";
}

std::string GetWinDir(Reporter& w) {
    w.ProgressTick();
    return platform::GetWindowsDirectory();
}

} // namespace ledrana
