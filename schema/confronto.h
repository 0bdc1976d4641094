#pragma once
// The comparison of a second database (installed archive) with a first one (model): opening with the
// password list, the driver, its steps, and the compaction. Every procedure works on the window's state
// (Db1, Db2, NomeDb1, NomeDb2, the failure flag, the option boxes, the run log).
//
// Table definitions, fields and queries are engine handles: passing one by value refers to the same object.
// Steps whose handlers trap errors report them through MemLog with a message box and, where the handler says
// so, set w.ErroreConfronto. Steps without a handler of their own (among them Confr_CreaTabella,
// Confr_CreaField, Confr_VerificaTabelleInPiuSuSecondoDB and the three query steps) let their ledrana::Error
// through to Ponteval, which reports it.

#include <string>
#include <vector>

#include "dao/dao.h"
#include "window/aggiorna.h"

namespace ledrana {

// ---- opening (apredb.cpp) -------------------------------------------------------------------------------

// Opens NomeDb through w.engine with the password list; asks for a missing or wrong password. Returns an
// open database, or a Database that refers to nothing after an error other than a password (reported in a
// box). Ends the program (w.End()) when the user gives up a password or the engine cannot be created
// (no w.engine counts as that). When the list already holds 200 names, a new name is opened all the same
// but not remembered (its password is asked each time), and the log says so at each opening.
dao::Database ApreDb(Aggiorna& w, const std::string& NomeDb);

// ---- driver (ponteval.cpp) ------------------------------------------------------------------------------

bool Confr_Verifica(Aggiorna& w);
// Compares w.NomeDb2 with w.NomeDb1; true when the comparison ran to its end with the failure flag clear
// (the second database has then been closed and compacted). An error that a step lets through (the steps
// without a handler of their own, and the driver's look-ups of a table or query the user declined) is
// reported as the step handlers report theirs ("Funz. " + step, number, description, "tabella X" or
// "query X"), sets the failure flag, and the pass goes on; the other steps of that table or query are
// skipped only when it could not be created or looked up. ProgramEnded from ApreDb goes through. When ApreDb
// gives no database (it has shown why), the comparison stops there: the log gets the "NON ESEGUITO" line and
// no step runs.
bool Ponteval(Aggiorna& w);

// ---- tables and fields (tabelle.cpp) --------------------------------------------------------------------

// May replace DbDest (w.Db2) by a newly opened database after creating the table.
void Confr_CreaTabella(Aggiorna& w, dao::TableDef TD1, dao::Database& DbDest);
void Confr_CreaField(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2, bool nuovo);
// The steps that delete what only the archive has (fields and tables here, queries below) first keep what
// it holds in the comparison's recovery archive (schema/recovery.h) and note it in the run's report; a copy
// that cannot be made is the step's error, and that deletion is not made.
void Confr_VerificaFieldInPiuSuSecondoDB(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2);
void Confr_VerificaTabelleInPiuSuSecondoDB(Aggiorna& w);

// ---- saved queries (query.cpp) --------------------------------------------------------------------------

void Confr_CreaQueryDef(Aggiorna& w, dao::QueryDef QD1, dao::Database& DbDest);
// QD2 is replaced by the recreated query.
void Confr_ModificaQueryDef(Aggiorna& w, dao::QueryDef QD1, dao::QueryDef& QD2);
void Confr_VerificaQueryInPiuSuSecondoDB(Aggiorna& w);

// ---- compaction (compatta.cpp) --------------------------------------------------------------------------

// Compacts the closed archive at NomeDb in place (through NomeDb.tmp and NomeDb.tmp2). Errors are logged
// with a box. The archive is never deleted: the compacted copy is written beside it, synced and renamed
// over it, so at every instant NomeDb holds either the archive as it was or its compacted copy.
void CompattaArchivio(Aggiorna& w, const std::string& NomeDb);

// ---- files beside an archive (leftovers.cpp) ----------------------------------------------------------

// What a file holds, told from its first bytes and its length; no database is opened. Archive: one of our
// archives as long as its pages say; CutArchive: ours by its header, but shorter or longer; Jet: a file of
// the Windows engine (Jet or ACE), converted when first opened. Errors of reading the file go through.
enum class FileKind { Missing, Archive, CutArchive, Jet, Other };
FileKind KindOfFile(const std::string& path);

// Notes in the run's report each file of a compaction (NomeDb.tmp, NomeDb.tmp2) found beside the missing
// archive NomeDb: size, modification time, what it holds, so that a person can put one back. Nothing is
// changed, restored or logged.
void NoteFilesBesideMissingArchive(Aggiorna& w, const std::string& NomeDb);

// Notes in the run's report, for the archive NomeDb, each recovery archive (NAME_rimossi_*.mdb) and journal
// of changed values (NAME_conversioni_*.csv) beside it that no report in `reportsFolder` names: what an
// interrupted run left, with its time. Only reads; never throws.
void NoteFilesOfInterruptedRuns(Aggiorna& w, const std::string& NomeDb, const std::string& reportsFolder);

// ---- indexes (chiavi.cpp) -------------------------------------------------------------------------------

void Confr_CreaChiavi(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2);
void Confr_ModificaChiavi(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2);
void Confr_VerificaChiaviInPiuSuSecondoDB(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2);
// Deletes every index of TD2 that contains the field CAMPO.
void Confr_CancellaFieldInChiave(Aggiorna& w, dao::TableDef TD2, const std::string& CAMPO);

// ---- field definitions and properties (campi.cpp, zerolength.cpp) --------------------------------------

void Confr_ModificaField(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2);
void Confr_Abilitazerolenght(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2);

// ---- data (null.cpp, fisse.cpp) -------------------------------------------------------------------------

// Replaces every Null of TD2 by its type's neutral value. A replacement that the table refuses (3315
// zero-length text, 3022 unique index, 3314, 3316, 3317) leaves that value Null, the row is saved with its
// other replacements, and each such field is reported once (with a box) at the end of the walk. Returns
// those fields; the failure flag is not set for them here: the driver sets it for those that are still in
// the table when its pass is over (a surplus field is deleted later in the same pass). Other errors are
// reported as the step's failure, set the flag and end the walk.
std::vector<std::string> Confr_VerificaCampiNull1(Aggiorna& w, dao::TableDef TD2);
// The value that takes the place of Null in a field of DAO type `tipo`; Empty for a type without one.
dao::Variant ValoreNeutro(int tipo);
void Confr_CopiaDatiTabella(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2);

} // namespace ledrana
