#pragma once
// RAII wrappers for SQLite handles used inside the engine.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ledrana::dao::detail {

// An open connection; closed (sqlite3_close_v2) on destruction.
class SqliteDb {
public:
    SqliteDb() = default;
    explicit SqliteDb(sqlite3* db) : db_(db) {}
    ~SqliteDb() { reset(); }
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    SqliteDb(SqliteDb&& o) noexcept : db_(std::exchange(o.db_, nullptr)) {}
    SqliteDb& operator=(SqliteDb&& o) noexcept {
        if (this != &o) {
            reset();
            db_ = std::exchange(o.db_, nullptr);
        }
        return *this;
    }
    void reset() {
        if (db_) sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }

private:
    sqlite3* db_ = nullptr;
};

// A prepared statement; finalized on destruction.
class Stmt {
public:
    Stmt() = default;
    explicit Stmt(sqlite3_stmt* s) : s_(s) {}
    ~Stmt() { reset(); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    Stmt(Stmt&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
    Stmt& operator=(Stmt&& o) noexcept {
        if (this != &o) {
            reset();
            s_ = std::exchange(o.s_, nullptr);
        }
        return *this;
    }
    void reset() {
        if (s_) sqlite3_finalize(s_);
        s_ = nullptr;
    }
    sqlite3_stmt* get() const { return s_; }
    explicit operator bool() const { return s_ != nullptr; }

private:
    sqlite3_stmt* s_ = nullptr;
};

} // namespace ledrana::dao::detail
