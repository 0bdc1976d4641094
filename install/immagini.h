#pragma once
// The picture and description folders of a company's articles.

#include "window/report.h"

#include <string>

namespace ledrana {

// Creates the company's "immagini" and "descrizioni" folders beside its accounting archive (the folder
// before "\CONT32.MDB" in the archive path), copies the samples stampante.jpg and stampante.doc of the
// model folder into them, and records the two folders in the company INI when it names none.
// True when it ran to its end; False after an error (reported with a message box), in particular an
// archive path without "\CONT32.MDB" (error 5), which creates nothing.
bool ImmaginiXProdotti(Reporter& w, const std::string& cartellaModello, const std::string& archivio,
                       const std::string& fileIni);

} // namespace ledrana
