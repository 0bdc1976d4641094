#pragma once
// Helpers shared by the comparison procedures (private to schema/).

#include <string>
#include <string_view>
#include <vector>

#include "dao/dao.h"
#include "platform/error.h"
#include "window/aggiorna.h"

namespace ledrana::schema_detail {

// The line feed (character 10) that the boxes and reports put between their lines.
inline constexpr const char* LF = "\n";

// The run's database engine; Error 429 when the run has none (the engine could not be created).
dao::DBEngine& Engine(Aggiorna& w);

// Position (1..NumDb) of NomeDb in the window's password list, looked up by its upper-case text and
// appended with an empty password when absent. 0 when the list is full and NomeDb is not in it: the name
// is then used without being remembered, and the log says so.
int PasswordListSlot(Aggiorna& w, const std::string& NomeDb);

// Names of tables, fields and queries are one object when they agree in upper case.
bool SameName(std::string_view a, std::string_view b);

// VB's Str$ of an error number: a leading blank for zero and positive numbers.
std::string VbStr(int number);

// The report of an error that a step of the comparison let through, written as the steps' own handlers
// write theirs: "Funz. " + procedure, LF, number, blank, description, LF and the object ("tabella X").
// Logged with a message box; sets the comparison failure flag.
void ReportStepError(Aggiorna& w, std::string_view procedure, const Error& e, std::string_view object);

// A file beside the archive named after it and the time of the call: "...\Cont32" + tag + "20261207-021901"
// + ending, beside "...\Cont32.mdb".
std::string TimestampedSibling(const std::string& archive, const std::string& tag, const std::string& ending);

// The Nulls that a compaction completed in storing the archive's values (counted then, not when the Null
// step completed them), in the run's report as the step's own completions.
void NoteCompletedNulls(Aggiorna& w, const std::string& archive,
                        const std::vector<dao::CompletedNulls>& nulls);

// The names of an index's fields, in the index's order.
std::vector<std::string> IndexFieldNames(const dao::Index& ix);
// An index as the report shows it: "(Anno, NumDoc) primario, univoco".
std::string IndexText(const dao::Index& ix);

} // namespace ledrana::schema_detail
