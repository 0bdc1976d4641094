#pragma once
// Archives for the tests of refdata/: a window on a fresh stand-in machine with its database engine, and
// company archives made with the engine from the model's own table definitions (model/db/*.sql), with
// text fields accepting zero-length text as the comparison leaves them.

#include <initializer_list>
#include <string>
#include <vector>

#include "dao/dao.h"
#include "platform/scripted_dialogs.h"
#include "tests/platform/temp_prefix.h"
#include "window/aggiorna.h"

#include <gtest/gtest.h>

namespace ledrana::testing {

class RefdataTest : public ::testing::Test {
protected:
    RefdataTest();

    // A new archive at C:\ZU\DITTA\<name> with the listed tables of the accounting model (cont32.sql) or
    // of the due-dates model (scad32.sql), each with its indexes. Returned open; close it before a
    // procedure runs.
    dao::Database CreaArchivio(const std::string& name, const std::vector<std::string>& tables,
                               const char* modelFile = "cont32.sql");
    // The same archive opened again.
    dao::Database Apri(const std::string& name);
    static std::string Percorso(const std::string& name) { return "C:\\ZU\\DITTA\\" + name; }

    // The run log's entries, without the CR LF "->" that begins each.
    std::vector<std::string> Log() const;

    TempPrefix prefix;
    ScriptedDialogs dialogs;
    Aggiorna w{dialogs, "C:\\Programmi\\Tessaro"};
    dao::DBEngine engine;
};

// Runs one Jet SQL statement and fails the test's fixture on any row it cannot change.
void Esegui(dao::Database& db, const std::string& sql);

// The rows of a SELECT, each as the texts of the named fields joined by "|" (Null as "<Null>").
std::vector<std::string> Righe(dao::Database& db, const std::string& sql,
                               std::initializer_list<const char*> fields);

// The value of one field in the first row of a SELECT (Empty when there is no row).
dao::Variant Valore(dao::Database& db, const std::string& sql, const char* field);

} // namespace ledrana::testing
