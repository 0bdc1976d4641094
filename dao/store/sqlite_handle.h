#pragma once
// RAII wrappers for SQLite handles used inside the engine.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ledrana::dao::detail {

// An owned SQLite handle, released by Release (returning SQLite's result code) on destruction or reset.
template <class T, int (*Release)(T*)> class SqliteHandle {
public:
    SqliteHandle() = default;
    explicit SqliteHandle(T* h) : h_(h) {}
    ~SqliteHandle() { reset(); }
    SqliteHandle(const SqliteHandle&) = delete;
    SqliteHandle& operator=(const SqliteHandle&) = delete;
    SqliteHandle(SqliteHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    SqliteHandle& operator=(SqliteHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    void reset() {
        if (h_) Release(h_);
        h_ = nullptr;
    }
    T* get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    T* h_ = nullptr;
};

// An open connection, closed with sqlite3_close_v2; a prepared statement, finalized.
using SqliteDb = SqliteHandle<sqlite3, sqlite3_close_v2>;
using Stmt = SqliteHandle<sqlite3_stmt, sqlite3_finalize>;

} // namespace ledrana::dao::detail
