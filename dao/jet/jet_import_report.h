#pragma once
// What the conversion of a Jet or ACE file into one of our archives reports (dao/jet/jet_import.h). Part of
// the public interface through dao/dao.h (ImportJetFile).

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

} // namespace ledrana::dao
