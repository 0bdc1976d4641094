#pragma once
// A temporary folder and an engine for the engine's suites; host paths are used directly.

#include "dao/dao.h"
#include "dao/store/sqlite_functions.h"
#include "dao/store/sqlite_handle.h"
#include "platform/error.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace ledrana::dao {
// Values print readably in assertion messages.
inline void PrintTo(const Variant& v, std::ostream* os) {
    *os << v.Describe();
}
} // namespace ledrana::dao

namespace ledrana::dao::testing {

class DaoTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ledrana-dao-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        if (db_.IsOpen()) db_.Close();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // A new database holding the statements given.
    Database Create(const std::string& name, std::initializer_list<const char*> sql = {}) {
        Database db = engine_.CreateDatabase(Path(name));
        for (const char* s : sql)
            db.Execute(s);
        return db;
    }

    // One value of a query (first column, first row).
    static Variant Scalar(Database& db, const std::string& sql) {
        Recordset rs = db.OpenRecordset(sql);
        Variant v = rs.Eof() ? Variant() : rs.Fields()[0].Value();
        rs.Close();
        return v;
    }

    // One statement run by SQLite itself on a file of the folder (made if missing): the first column of its
    // rows as text ("null" for Null).
    std::vector<std::string> Sqlite(const std::string& name, const std::string& sql) const {
        sqlite3* raw = nullptr;
        sqlite3_open_v2(Path(name).c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        detail::SqliteDb db(raw);
        RegisterArchiveFunctions(raw);
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(raw, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
        detail::Stmt statement(s);
        std::vector<std::string> out;
        int rc = SQLITE_DONE;
        while (s && (rc = sqlite3_step(s)) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(s, 0);
            out.emplace_back(t ? reinterpret_cast<const char*>(t) : "null");
        }
        EXPECT_TRUE(!s || rc == SQLITE_DONE) << sqlite3_errmsg(raw);
        return out;
    }

    // Values set on the current row (Set), then saved as a new row (Add) or into the current one (Change).
    using Values = std::initializer_list<std::pair<std::string, Variant>>;
    static void Set(Recordset& rs, Values values) {
        for (const auto& [name, v] : values)
            rs.Fields()[name].SetValue(v);
    }
    static void Add(Recordset& rs, Values values) { rs.AddNew(), Set(rs, values), rs.Update(); }
    static void Change(Recordset& rs, Values values) { rs.Edit(), Set(rs, values), rs.Update(); }

    std::filesystem::path dir_;
    DBEngine engine_;
    Database db_; // a suite's database, closed at the end when still open
};

// The bytes of a file.
inline std::string Bytes(const std::filesystem::path& p) {
    return ledrana::testing::TempPrefix::get(p);
}

using ledrana::testing::ErrorOf;
using ledrana::testing::Failure;
using ledrana::testing::Names;

// The names of fields, by ",".
inline std::string Names(const Fields& f) {
    std::string out;
    for (int i = 0; i < f.Count(); ++i)
        out += (i ? "," : "") + f[i].Name();
    return out;
}

// The rows of a recordset, which it closes: values by "|" (Null as "Null", binary values as their bytes),
// rows by ";", after a row of the fields' names when `names` is set.
inline std::string Rows(Recordset rs, bool names = false) {
    std::string out;
    for (int i = 0; names && i < rs.Fields().Count(); ++i)
        out += (i ? "|" : "") + rs.Fields()[i].Name();
    for (int row = names; !rs.Eof(); rs.MoveNext(), ++row) {
        out += row ? ";" : "";
        for (int i = 0; i < rs.Fields().Count(); ++i) {
            const Variant v = rs.Fields()[i].Value();
            out += (i ? "|" : "") + (v.IsNull()                          ? "Null"
                                     : v.kind() == Variant::Kind::Binary ? v.RawString()
                                                                         : v.ToString());
        }
    }
    rs.Close();
    return out;
}
inline std::string Rows(Database& db, const std::string& sql, bool names = false) {
    return Rows(db.OpenRecordset(sql), names);
}

} // namespace ledrana::dao::testing
