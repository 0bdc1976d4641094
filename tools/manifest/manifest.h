#pragma once
// Builds a database from a manifest, one step per line ("#" starts a comment line):
//   create FILE | script FILE | demo FILE    Jet SQL statements of FILE, relative to the manifest
//   property TABLE NAME VALUE                 a text property of a table
//   querydef NAME SQL                         a saved query (the rest of the line)
// The release's model databases (daotool build), the sample installations (mkinstall) and the
// comparison benchmark are all made by this one builder.

#include "dao/dao.h"

#include <functional>
#include <string>
#include <vector>

namespace ledrana::manifest {

// The statements of a Jet SQL script: lines beginning with "--" dropped, split at the semicolons that
// are outside quotes and brackets, blank statements left out.
std::vector<std::string> SplitStatements(const std::string& script);

// Creates the database `path` (it must not exist; a Windows or a host path) and runs the steps of the
// manifest (a host path). With withDemo false the "demo" steps are skipped. `afterStructure`, when given,
// is called once the "create" steps are done, before any row is written. Statements run with
// dbFailOnError, so a script that does not fit its structure stops the build. Throws ledrana::Error; the
// database is left as far as it got. The caller owns (and closes) the open database returned.
dao::Database BuildFromManifest(dao::DBEngine& engine, const std::string& manifest, const std::string& path,
                                bool withDemo,
                                const std::function<void(dao::Database&)>& afterStructure = {});

// Every text and memo field of the user's tables accepts zero-length text, as earlier updates left them,
// except the fields named in `except` ("TABLE.FIELD", upper case), which the next update has to change.
void AllowZeroLength(dao::Database& db, const std::vector<std::string>& except);

// The text fields that version 027 left without zero-length permission.
inline const std::vector<std::string> kStrictFields027 = {"CLIENTI.RAGSOC", "PIANOCONTI.DESCRIZIONE",
                                                          "PRODOTTI.DESCRIZIONE", "BANCHE.DESCRIZIONE"};

} // namespace ledrana::manifest
