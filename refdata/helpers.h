#pragma once
// Helpers shared by the procedures of refdata/ (private to this folder).

#include <string>
#include <string_view>

#include "dao/dao.h"
#include "platform/error.h"
#include "window/aggiorna.h"

namespace ledrana::refdata_detail {

// The line feed (character 10) between the lines of a report.
inline constexpr const char* LF = "\n";

// The number and description of an error as the reports begin: "3265 description".
std::string ErrorText(const Error& e);

// The report of the reference-table procedures and of the causals: the error, then the procedure's literal
// ("funz. Name ") and the two paths, each on a line of its own. Logged with a message box.
void ReportCopyError(Aggiorna& w, const Error& e, std::string_view funz, const std::string& primo,
                     const std::string& secondo);

// A value joined to a text as VB's & does: Null and Empty give "", anything else its text form.
std::string Amp(const dao::Variant& value);

// Discards a new or edited row that was not saved, so that the next AddNew starts clean.
void DiscardPending(dao::Recordset& rs);

} // namespace ledrana::refdata_detail
