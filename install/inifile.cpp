#include "install/inifile.h"

#include "platform/profile.h"
#include "window/run_report.h"

#include <optional>
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
    // The run's report lists the keys added and the values changed: what was there is read first.
    std::optional<std::string> prima;
    RunReport* report = w.Report();
    if (report) {
        static const std::string kMissing = "\x01";
        std::string letto;
        const int n = platform::GetPrivateProfileString(sezione, chiave, kMissing, letto, 4096, fileIni);
        if (LeftChars(letto, static_cast<std::size_t>(n)) != kMissing) prima = letto;
    }
    // A failed write is silent.
    if (platform::WritePrivateProfileString(sezione, chiave, valore, fileIni) && report)
        report->IniWritten(fileIni, sezione, chiave, prima, valore);
    return "";
}

std::string GetWinDir(Reporter& w) {
    w.ProgressTick();
    return platform::GetWindowsDirectory();
}

} // namespace ledrana
