#pragma once
// INI access of the main window: every read and write of a profile file and the query for the Windows
// folder. Each call begins with the progress tick. None of them catches or raises errors of its own.

#include "window/report.h"

#include <string>

namespace ledrana {

// The value of key in section of the INI file, upper-cased; "" when the file, the section or the key is
// missing. Read with a 100-character buffer, so a value longer than 99 characters comes back as its first
// 99 characters. The section is looked up upper-cased (names match without regard to case anyway).
std::string readinifile(Reporter& w, const std::string& sezione, const std::string& chiave,
                        const std::string& fileIni);

// Writes value under section and key (case unchanged), creating the file, the section and the key as
// needed. A write that cannot be done is silent. The result is always "".
std::string writeinifile(Reporter& w, const std::string& sezione, const std::string& chiave,
                         const std::string& valore, const std::string& fileIni);

// The path of the Windows folder ("C:\WINDOWS").
std::string GetWinDir(Reporter& w);

} // namespace ledrana
