#pragma once
// The company configuration INI files and the installation INI file: the keys a new version needs.

#include "window/report.h"

#include <string>

namespace ledrana {

// Creates the INI of a new company: section "Archivi" names its two archives, then ModificaFileIni.
// True when every write was issued; False after an error (reported with a message box).
bool CreaFileIni(Reporter& w, const std::string& file);

// Brings a company INI up to this version: kept switches, defaults for missing values, the demo identity
// and demo accounts when the path names the demo company (contains "DITTAESEMPIO" in any case).
// True when every write was issued; False after an error (reported with a message box); writes issued
// before the error stay in the file.
bool ModificaFileIni(Reporter& w, const std::string& file);

// Records the installed version (`versione`, the caption of the window's Aggiornamento label) and the
// installation-wide settings in the installation INI. True when the four writes were issued.
bool ModificaFileIniPuntoIni(Reporter& w, const std::string& versione, const std::string& file);

} // namespace ledrana
