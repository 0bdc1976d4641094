#pragma once
// Sample databases for the comparison benchmark, made with the engine: a database from a manifest of Jet
// SQL scripts (the model databases and the old archives are described that way), and the rows of a
// company that has worked with an archive for years.

#include <cstdint>
#include <string>

#include "dao/dao.h"

namespace ledrana::bench {

// Creates the database `path` from `manifest` (a host path): its steps "create FILE", "script FILE",
// "demo FILE" (only when withDemo), "property TABLE NAME VALUE" and "querydef NAME SQL", in order, with
// FILE beside the manifest. Errors of the engine or of reading the files are thrown as ledrana::Error.
void BuildFromManifest(dao::DBEngine& engine, const std::string& manifest, const std::string& path,
                       bool withDemo);

// Appends about `rows` rows to the movement tables of the accounting archive `path` (Movimenti gets
// `rows`, the registrations, invoices and customers a share of it). Values follow each field's type;
// fields outside indexes that the model `model` has too are Null in one row of three: all of them in the
// same rows, or, when `scattered`, each field in rows of its own, so that rows differ in which fields are
// Null. Returns the number of rows written.
std::int64_t FillArchive(dao::DBEngine& engine, const std::string& path, const std::string& model,
                         std::int64_t rows, bool scattered = false);

} // namespace ledrana::bench
