#pragma once
// The demo company DittaEsempio, rebuilt from the shipped files on every run.

#include "dao/dao.h"
#include "window/report.h"

#include <functional>
#include <string>

namespace ledrana {

// Opens a database the way the window does (with its password list).
using ApriDatabase = std::function<dao::Database(const std::string&)>;

// Rebuilds the demo company in cartellaDati from the model folder: its folder with both archives, the logo
// and the sample order notes, its INI (ledrana\DittaEsempio.ini, which receives the demo identity), and
// every invoice type of its accounting archive pointing at "logo.jpg". False when the INI could not be
// created. File and folder failures are reported by the helpers and do not stop it; an error of the
// database engine while the archive is changed is not caught here and reaches the caller.
bool CopiaArchiviDemo(Reporter& w, const std::string& cartellaDati, const std::string& cartellaModello,
                      const ApriDatabase& apreDb);

} // namespace ledrana
