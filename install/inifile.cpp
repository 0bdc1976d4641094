#include "install/inifile.h"

#include "platform/profile.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "window/run_report.h"

#include <optional>

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
    // The run's report lists the keys added and the values changed: what was there is read first.
    std::optional<std::string> before;
    RunReport* report = w.Report();
    if (report) {
        static const std::string kMissing = "\x01";
        std::string read;
        const int n = platform::GetPrivateProfileString(sezione, chiave, kMissing, read, 4096, fileIni);
        if (LeftChars(read, static_cast<std::size_t>(n)) != kMissing) before = read;
    }
    // A failed write is silent.
    if (platform::WritePrivateProfileString(sezione, chiave, valore, fileIni) && report)
        report->IniWritten(fileIni, sezione, chiave, before, valore);
    return "";
}

std::string GetWinDir(Reporter& w) {
    w.ProgressTick();
    return platform::GetWindowsDirectory();
}

} // namespace ledrana
