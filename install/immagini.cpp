#include "install/immagini.h"

#include "install/fileutil.h"
#include "install/inifile.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/vb_errors.h"

namespace ledrana {

namespace {

// The archive's company folder: the text before the first "\CONT32.MDB". Like VB's Left with a
// negative length, a path without it is an invalid procedure call.
std::string companyFolder(const std::string& archivio) {
    const auto pos = UCase(archivio).find("\\CONT32.MDB");
    if (pos == std::string::npos) throw VbError(kErrInvalidCall);
    return archivio.substr(0, pos);
}

} // namespace

bool ImmaginiXProdotti(Reporter& w, const std::string& cartellaModello, const std::string& archivio,
                       const std::string& fileIni) {
    try {
        const std::string cartella = companyFolder(archivio);
        if (CreaCartella(w, cartella + "\\immagini", false) &&
            CreaCartella(w, cartella + "\\descrizioni", false) &&
            CopiaFile(w, cartellaModello + "\\stampante.jpg", cartella + "\\immagini\\stampante.jpg")) {
            CopiaFile(w, cartellaModello + "\\stampante.doc", cartella + "\\descrizioni\\stampante.doc");
        }
        if (readinifile(w, "Config", "DirectoryImm", fileIni).empty())
            writeinifile(w, "Config", "DirectoryImm", "immagini\\", fileIni);
        if (readinifile(w, "Config", "DirectoryDoc", fileIni).empty())
            writeinifile(w, "Config", "DirectoryDoc", "descrizioni\\", fileIni);
        return true;
    } catch (const Error& e) {
        w.MemLog(std::to_string(e.number()) + " " + e.description() + "\nfunz. ImmaginiXProdotti \n" +
                     fileIni + "\n" + archivio,
                 true);
        return false;
    }
}

} // namespace ledrana
