#pragma once
// File and folder helpers of the main window. CreaCartella, CopiaFile, EsisteFile and EsisteCartella
// begin with the progress tick, never raise an error and report unexpected failures through
// MemLog(text, true), the text being: error number, blank, description, LF, "funz. " + procedure name +
// " ", LF, the details of the call. GetDirDocumenti never reports.

#include "window/report.h"

#include <string>

namespace ledrana {

// Creates one folder level. True when created or already existing (error 75; with segnalaSeEsiste it
// reports "Cartella " + folder + " Già Esistente"); False on any other error, reported with the folder.
bool CreaCartella(Reporter& w, const std::string& cartella, bool segnalaSeEsiste);

// Copies a file, overwriting the destination. False on any error, reported with both paths.
bool CopiaFile(Reporter& w, const std::string& origine, const std::string& destinazione);

// True when the path names a file whose length can be read; False for a folder, silently. Errors other than
// 53 and 76 are reported when segnalaErrori.
bool EsisteFile(Reporter& w, const std::string& file, bool segnalaErrori);

// True when the path's attribute value is 16 or more (a folder, but also any file with the archive
// attribute 32). Errors other than 53 and 76 are reported when segnalaErrori.
bool EsisteCartella(Reporter& w, const std::string& cartella, bool segnalaErrori);

// The user's Documents folder as a Windows path without trailing NUL or "\", "" when there is none.
std::string GetDirDocumenti();

} // namespace ledrana
