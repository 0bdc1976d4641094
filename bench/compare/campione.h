#pragma once
// The rows of a company that has worked with an archive for years, for the comparison benchmark (its
// databases are made from their manifests by tools/manifest).

#include <cstdint>
#include <string>

#include "dao/dao.h"

namespace ledrana::bench {

// Appends about `rows` rows to the movement tables of the accounting archive `path` (Movimenti gets
// `rows`, the registrations, invoices and customers a share of it). Values follow each field's type;
// fields outside indexes that the model `model` has too are Null in one row of three: all of them in the
// same rows, or, when `scattered`, each field in rows of its own, so that rows differ in which fields are
// Null. Returns the number of rows written.
std::int64_t FillArchive(dao::DBEngine& engine, const std::string& path, const std::string& model,
                         std::int64_t rows, bool scattered = false);

} // namespace ledrana::bench
