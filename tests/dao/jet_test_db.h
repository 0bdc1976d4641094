#pragma once
// A small in-memory SQLite database for the translator and function suites: tables laid out as the
// engine stores them, statements translated from Jet SQL and applied the way the engine applies them.

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "dao/sql/jetsql.h"
#include "dao/store/sqlite_handle.h"
#include "dao/vb/functions.h"
#include "platform/error.h"

namespace ledrana::dao::testing {

class TestDb {
public:
    TestDb() {
        sqlite3* db = nullptr;
        sqlite3_open(":memory:", &db);
        db_.reset(db);
        RegisterJetFunctions(db);
    }

    sqlite3* get() const { return db_.get(); }

    // Runs SQLite text; throws the function error or a generic one with SQLite's message.
    void Exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(get(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string m = err ? err : "?";
            sqlite3_free(err);
            Fail(m, sql);
        }
    }

    // Rows of a query, each value rendered as "null", a number in SQLite's text or 'text'; values
    // separated by "|", rows by ";".
    std::string Query(const std::string& sql, const std::vector<std::string>& params = {}) {
        detail::Stmt st = Prepare(sql);
        for (std::size_t k = 0; k < params.size(); ++k)
            sqlite3_bind_text(st.get(), static_cast<int>(k + 1), params[k].c_str(), -1, SQLITE_TRANSIENT);
        std::string out;
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            if (!out.empty()) out += ";";
            for (int c = 0; c < sqlite3_column_count(st.get()); ++c)
                out += (c ? "|" : "") + Render(st.get(), c);
        }
        if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(get()), sql);
        return out;
    }

    // Column names of a query.
    std::string Columns(const std::string& sql) {
        detail::Stmt st = Prepare(sql);
        std::string out;
        for (int c = 0; c < sqlite3_column_count(st.get()); ++c)
            out += (c ? "|" : "") + std::string(sqlite3_column_name(st.get(), c));
        return out;
    }

    // Translates a Jet INSERT and runs it as the engine would (without the engine's catalog casts).
    JetStatement Insert(const std::string& jet) {
        JetStatement s = TranslateJetSql(jet);
        std::string sql = "INSERT INTO " + QuoteName(s.table);
        for (std::size_t k = 0; k < s.columns.size(); ++k)
            sql += (k ? ", " : " (") + QuoteName(s.columns[k]) + (k + 1 == s.columns.size() ? ")" : "");
        if (s.sql.empty()) {
            for (std::size_t k = 0; k < s.values.size(); ++k)
                sql += (k ? ", " : " VALUES (") + s.values[k];
            sql += ")";
        } else {
            sql += " " + s.sql;
        }
        Exec(sql);
        return s;
    }

    // Rows of a Jet SELECT.
    std::string Select(const std::string& jet, const std::vector<std::string>& params = {}) {
        return Query(TranslateJetSql(jet).sql, params);
    }

private:
    detail::Stmt Prepare(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(get(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            Fail(sqlite3_errmsg(get()), sql);
        return detail::Stmt(st);
    }
    [[noreturn]] static void Fail(const std::string& message, const std::string& sql) {
        if (auto e = vb::FunctionError(message)) throw *e;
        throw Error(-1, message + " in: " + sql);
    }

    static std::string Render(sqlite3_stmt* st, int c) {
        switch (sqlite3_column_type(st, c)) {
        case SQLITE_NULL:
            return "null";
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_column_int64(st, c));
        case SQLITE_FLOAT: {
            char buf[40];
            snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(st, c));
            return buf;
        }
        default:
            return "'" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c))) + "'";
        }
    }

    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db_{nullptr, sqlite3_close};
};

} // namespace ledrana::dao::testing
