#pragma once
// A temporary folder and an engine for the engine's suites; host paths are used directly.

#include "dao/dao.h"
#include "platform/error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

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

    std::filesystem::path dir_;
    DBEngine engine_;
};

// The error number a call throws, 0 when it throws nothing.
inline int ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

} // namespace ledrana::dao::testing
