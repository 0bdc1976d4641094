#pragma once
// DBEngine's side of the conversion of Jet and ACE files (dao/jet/jet_import.h): the engine lends the
// conversion its archives and its record of the files it met.

#include "dao/jet/jet_import.h"

#include <string>

namespace ledrana::dao {

class DBEngine;
struct EngineShared;

namespace detail {
// For DBEngine: the host path to open for the file at `host`, as detail::OpenableArchive of
// dao/jet/jet_import.h gives it, over this engine and what it keeps of the Jet files it met.
std::string OpenableArchive(DBEngine& engine, EngineShared& shared, const std::string& host,
                            const std::string& shown, const std::string& password, bool readOnly);
} // namespace detail

} // namespace ledrana::dao
