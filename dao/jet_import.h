#pragma once
// Conversion of a Jet 3, Jet 4 or ACE file (the Windows engine's databases) into one of our archives.
//
// The archive made holds every local table with its fields (type, size, attributes, Required,
// AllowZeroLength, DefaultValue, validation and the other properties the file keeps), every row with its
// values unchanged, every index, the linked tables as attached tables, the saved queries with their text
// whole and the database password. What our format cannot hold as it is (a Decimal, a query our
// translator cannot run...) is kept in another form and named, one line each, in the report's notes:
// a calculated field keeps its values and its Expression but is no longer computed; the values of an
// attachment, multi-valued or version-history field become the rows of a table of their own, named after
// the table and the field, each with the key of its row. A value that our types hold only in part (a
// Date/Time Extended below the second) is written into the report's journal with its exact text.

#include "dao/dao.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ledrana::dao {

struct JetImportReport {
    struct Table {
        std::string name;
        std::int64_t rows = 0;
    };
    std::vector<Table> tables;      // local tables, in the file's catalog order
    std::vector<std::string> notes; // what was kept in another form, one line each
    // Values kept in part: where they are, and their exact text in the file.
    struct JournalEntry {
        std::string table, key, field, text;
    };
    std::vector<JournalEntry> journal;
    int queries = 0;       // saved queries stored
    bool password = false; // the file had a database password (the archive keeps it)
};

// Writes a new archive at the host path `destination` from the Jet or ACE file at the host path `source`,
// which is only read. shownName names the source in error descriptions. Errors: those of jet::File
// (3343, 3049, 3031, 3024) and of CreateDatabase (3204 when destination exists). On failure the partial
// destination is removed. The destination is written without waiting for the disk at each commit: a
// caller that keeps it puts it in place with platform::ReplaceFile, which does.
JetImportReport ImportJetFile(DBEngine& engine, const std::string& source, const std::string& destination,
                              const std::string& shownName);

// The database password held in the header page of the Jet file at a host path ("" when none).
std::string JetFilePassword(const std::string& source);

namespace detail {
// For DBEngine: the host path to open for the file at `host`. An archive of ours is its own path; a Jet or
// ACE file is converted first (see DBEngine::TakeConversionNotices) after its password has been checked
// (3031). shown is the path as the caller gave it.
std::string OpenableArchive(DBEngine& engine, EngineShared& shared, const std::string& host,
                            const std::string& shown, const std::string& password, bool readOnly);
} // namespace detail

} // namespace ledrana::dao
