#pragma once
// The accounting archive the refdata benchmark works on: a sample made here in the model's structure, or
// an installed archive of an older version brought to the shape the comparison leaves it in.

#include <cstdint>
#include <string>

#include "dao/dao.h"

namespace ledrana::bench {

// Creates the archive `path` with every table and index of the accounting model (model/db/cont32.sql),
// text fields accepting zero-length text, and a company's years of work: ten years stamped "027",
// clients, invoices, and journal entries (two to four lines each, two in three of them VAT
// registrations) for about `lines` journal lines. Returns the number of lines written.
std::int64_t CreaCampione(dao::DBEngine& engine, const std::string& path, std::int64_t lines);

// Brings the tables that the data fixes read to the model's fields, lets their text fields take
// zero-length text and replaces their Null texts by it, as the comparison does before the fixes run.
void PreparaArchivio(dao::DBEngine& engine, const std::string& path);

} // namespace ledrana::bench
