#pragma once
// A stand-in machine in a temporary folder, the run's engine and the window answered by scripted dialogs;
// archives made from the model's table definitions (model/db/*.sql), and SQL run on them. Paths are Windows
// paths of the stand-in machine; engine errors are thrown as ledrana::Error, so a test fails on them.

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "dao/dao.h"
#include "platform/scripted_dialogs.h"
#include "tests/dao/dao_fixture.h"
#include "tests/platform/temp_prefix.h"
#include "window/aggiorna.h"

namespace ledrana::testing {

using Strings = std::vector<std::string>;

class ArchiveFixture {
public:
    static constexpr const char* kModelFolder = "C:\\Programmi\\Tessaro";

    // Declared in this order so that the window, and the databases it holds, go before the engine.
    TempPrefix prefix;
    ScriptedDialogs dialogs;
    dao::DBEngine engine;
    Aggiorna w{dialogs, kModelFolder};

    ArchiveFixture() { w.engine = &engine; }

    // A file of the company folder C:\ZU\DITTA, and the data folder's pointer file C:\WINDOWS\dir.txt.
    static std::string CompanyPath(const std::string& name) { return "C:\\ZU\\DITTA\\" + name; }
    std::filesystem::path dirTxt() const { return prefix.driveC() / "WINDOWS" / "dir.txt"; }

    static std::filesystem::path Host(const std::string& path);

    // Opens a database straight through the engine (the window's password list is not touched).
    dao::Database Open(const std::string& path, const std::string& password = "");

    // A new database at `path`, open, with the listed tables of a model script (model/db/cont32.sql or
    // scad32.sql) and their indexes, the text fields taking zero-length text as the comparison leaves them.
    dao::Database CreateFromModel(const std::string& path, const Strings& tables,
                                  const char* modelFile = "cont32.sql");

    // The same, with `statements` run on it (dbFailOnError), and closed.
    void MakeFromModel(const std::string& path, const Strings& tables, const Strings& statements,
                       const char* modelFile = "cont32.sql");

    // One statement run on the database at `path` (dbFailOnError), or the rows of a SELECT on it as
    // QueryRows gives them; the database is opened and closed around it.
    void ExecuteAt(const std::string& path, const std::string& sql);
    Strings RowsAt(const std::string& path, const std::string& sql,
                   std::initializer_list<const char*> fields);

    // The entries of the run log, in order, each without its CR LF "->"; the texts of the boxes shown.
    Strings LogEntries() const;
    Strings BoxTexts() const;
};

class ArchiveTest : public ::testing::Test, public ArchiveFixture {};

// The error a call ends with, as "number description"; "" when it ends well.
using dao::testing::Failure;

// One Jet SQL statement, with dbFailOnError.
void Execute(dao::Database& db, const std::string& sql);

// The rows of a SELECT, each as the texts of the named fields joined by "|" (Null as "<Null>").
Strings QueryRows(dao::Database& db, const std::string& sql, std::initializer_list<const char*> fields);

} // namespace ledrana::testing
