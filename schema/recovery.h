#pragma once
// The recovery archive of a comparison (private to schema/): before the comparison deletes a table, a field
// or a saved query that only the archive has, what it holds is copied into one archive of ours beside it,
// <archive>_rimossi_<yyyymmdd-hhmmss>.mdb, made on the first removal that has something to keep and then
// added to. Each copy is committed and written beside the archive before the deletion is made, and on disk
// before the deletion reaches the archive: synced at once when the comparison works on the archive itself,
// by SyncRecovery, all copies together, when it works on a working copy that takes the archive's place
// later. A copy that cannot be made throws, and the deletion must then not be made.
//
// The archive is written once, a copy at a time: made empty as a new file (O_CREAT|O_EXCL|O_NOFOLLOW, with
// the archive's owner and mode) and kept open for the comparison, each copy is one transaction in it, so
// that it always holds every copy committed and nothing of one that was stopped half way.

#include <string>

#include "dao/dao.h"
#include "window/aggiorna.h"

namespace ledrana::schema_detail {

// Each Keep... copies before a deletion and returns the sentence for the run's report, to be noted once
// the deletion is made ("" when there was nothing to keep: no rows, no values, an attached table). Errors
// are thrown as the step's error: our number and a description that says the deletion was not made. T2 is a
// table of w.Db2.

// A table whole: fields (a counter as a plain Long, so that its numbers stay), rows and indexes.
std::string KeepTable(Aggiorna& w, dao::TableDef T2);
// A field's non-Null values, each with its row's primary key (or the fields of a unique index, or the
// row's place in the table, column "Riga").
std::string KeepField(Aggiorna& w, dao::TableDef T2, const std::string& field);
// A saved query's name and SQL text, as a row of the table "Query_rimosse".
std::string KeepQuery(Aggiorna& w, dao::QueryDef Q2);

// Puts on disk the copies made so far, before the working copy that lacks what they hold takes the
// archive's place: throws the host's error (61, 75...) when it cannot, and the archive must then stay.
void SyncRecovery(Aggiorna& w);

// Ends the recovery archive of the comparison: closes it. Never throws.
void CloseRecovery(Aggiorna& w);

} // namespace ledrana::schema_detail
