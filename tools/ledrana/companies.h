#pragma once
// What the stand-in main program shows: the companies of the data folder, each with its two archives,
// their paths and the version stamp of the accounting archive (table anni, field ver). Everything is read
// only; nothing is written or created.

#include "dao/dao.h"

#include <string>
#include <vector>

namespace ledrana::host {

struct Archive {
    std::string role; // "Ledrana" (accounting) or "Scadenzario" (due dates), the INI key
    std::string path; // as resolved from the company INI, a Windows path
    bool exists = false;
    std::string version; // the distinct anni.ver values, "/" between them; "" when none
    std::string state;   // Italian note: "", "archivio mancante", "protetto da password", "anni vuota"...
};

struct Company {
    std::string name;    // the INI file name up to ".ini"
    std::string iniFile; // data folder + "\ledrana\" + file name
    std::vector<Archive> archives;
};

struct Installation {
    std::string dataFolder;         // from dir.txt in the Windows folder, "C:\ZU" when there is none
    std::string installedVersion;   // [Ver] AggiornamentoLedrana of LEDRANA\INI\INI.INI, "" when missing
    std::vector<Company> companies; // in file-name order
};

// Reads the installation of the current platform prefix through the given engine.
Installation ReadInstallation(dao::DBEngine& engine);

// The installation as text: a header line, then one tab-separated line per archive:
// company, role, path, version, state.
std::string FormatInstallation(const Installation& installation);

} // namespace ledrana::host
