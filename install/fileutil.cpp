#include "install/fileutil.h"

#include "platform/files.h"
#include "platform/shell_folders.h"
#include "platform/vb_errors.h"
#include "window/run_report.h"

namespace ledrana {

namespace {

// number, blank, description, LF, "funz. " + name + " ", LF, details.
std::string errorText(const Error& e, const std::string& funz, const std::string& details) {
    return std::to_string(e.number()) + " " + e.description() + "\n" + funz + "\n" + details;
}

bool isMissing(const Error& e) {
    return e.number() == kErrFileNotFound || e.number() == kErrPathNotFound;
}

} // namespace

bool CreaCartella(Reporter& w, const std::string& cartella, bool segnalaSeEsiste) {
    w.ProgressTick();
    try {
        platform::MkDir(cartella);
        return true;
    } catch (const Error& e) {
        if (e.number() == kErrPathFileAccess) {
            if (segnalaSeEsiste) w.MemLog("Cartella " + cartella + " Già Esistente", true);
            return true;
        }
        w.MemLog(errorText(e, "funz. CreaCartella ", cartella), true);
        return false;
    }
}

bool CopiaFile(Reporter& w, const std::string& origine, const std::string& destinazione) {
    w.ProgressTick();
    try {
        platform::FileCopy(origine, destinazione);
        if (RunReport* report = w.Report()) report->FileCopied(origine, destinazione);
        return true;
    } catch (const Error& e) {
        w.MemLog(errorText(e, "funz. CopiaFile ", origine + "\n" + destinazione), true);
        return false;
    }
}

bool EsisteFile(Reporter& w, const std::string& file, bool segnalaErrori) {
    w.ProgressTick();
    try {
        platform::FileLen(file);
        // A folder has a length too, but is not a file: an archive path that names the company's
        // folder (an INI without its archives) must not count as an archive.
        return !platform::FolderExists(file);
    } catch (const Error& e) {
        if (segnalaErrori && !isMissing(e)) w.MemLog(errorText(e, "funz. Esistefile ", "file " + file), true);
        return false;
    }
}

bool EsisteCartella(Reporter& w, const std::string& cartella, bool segnalaErrori) {
    w.ProgressTick();
    try {
        return platform::GetAttr(cartella) >= platform::vbDirectory;
    } catch (const Error& e) {
        if (segnalaErrori && !isMissing(e))
            w.MemLog(errorText(e, "funz. EsisteCartella ", "cartella " + cartella), true);
        return false;
    }
}

std::string GetDirDocumenti() {
    std::string path = platform::SpecialFolderPath(platform::CSIDL_PERSONAL);
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

} // namespace ledrana
