#pragma once
// The ground every suite above the engine stands on: a stand-in machine in a temporary folder, the run's
// database engine, and the window answered by scripted dialogs; archives made from the model's own table
// definitions (model/db/*.sql); and short ways to run SQL on an open database and read its rows.
//
// Paths are Windows paths on the stand-in machine (C:\... under the temporary prefix). Engine errors are
// thrown as ledrana::Error, so a test fails on them.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "dao/dao.h"
#include "platform/scripted_dialogs.h"
#include "tests/platform/temp_prefix.h"
#include "window/aggiorna.h"

namespace ledrana::testing {

class ArchiveFixture {
public:
    static constexpr const char* kModelFolder = "C:\\Programmi\\Tessaro";

    // Declared in this order so that the window, and the databases it holds, go before the engine.
    TempPrefix prefix;
    ScriptedDialogs dialogs;
    dao::DBEngine engine;
    Aggiorna w{dialogs, kModelFolder};

    // The window runs on this engine.
    ArchiveFixture() { w.engine = &engine; }

    // A file of the company folder C:\ZU\DITTA.
    static std::string CompanyPath(const std::string& name) { return "C:\\ZU\\DITTA\\" + name; }

    // Host path of a Windows path of the stand-in machine.
    static std::filesystem::path Host(const std::string& path);

    // Opens a database straight through the engine (the window's password list is not touched).
    dao::Database Open(const std::string& path, const std::string& password = "");

    // A new database at `path` (its folders made as needed) with the listed tables of a model script
    // (model/db/cont32.sql or scad32.sql), each with its indexes, and its text fields accepting zero-length
    // text as the comparison leaves them. Returned open.
    dao::Database CreateFromModel(const std::string& path, const std::vector<std::string>& tables,
                                  const char* modelFile = "cont32.sql");

    // The same, with `statements` run on it (dbFailOnError), and closed.
    void MakeFromModel(const std::string& path, const std::vector<std::string>& tables,
                       const std::vector<std::string>& statements, const char* modelFile = "cont32.sql");

    // One statement run on the database at `path` (dbFailOnError), or the rows of a SELECT on it as
    // QueryRows gives them; the database is opened and closed around it.
    void ExecuteAt(const std::string& path, const std::string& sql);
    std::vector<std::string> RowsAt(const std::string& path, const std::string& sql,
                                    std::initializer_list<const char*> fields);

    // The entries of the run log, in order, each without its CR LF "->".
    std::vector<std::string> LogEntries() const;
};

// A GoogleTest fixture on that ground.
class ArchiveTest : public ::testing::Test, public ArchiveFixture {};

// The error `call` ends with, as "number description"; "" when it ends well.
std::string ErrorText(const std::function<void()>& call);

// Runs one Jet SQL statement with dbFailOnError.
void Execute(dao::Database& db, const std::string& sql);

// The rows of a SELECT, each as the texts of the named fields joined by "|" (Null as "<Null>").
std::vector<std::string> QueryRows(dao::Database& db, const std::string& sql,
                                   std::initializer_list<const char*> fields);

} // namespace ledrana::testing
