#pragma once
// A transaction on one database that is rolled back unless it was committed (private to schema/).

#include "dao/dao.h"
#include "platform/error.h"

namespace ledrana::schema_detail {

class Transazione {
public:
    // Begins the transaction; BeginTrans's errors reach the caller.
    explicit Transazione(dao::Database db) : db_(std::move(db)) { db_.BeginTrans(); }
    ~Transazione() {
        if (!aperta_) return;
        try {
            db_.Rollback();
        } catch (const Error&) {
            // Nothing more can be done here; closing the database rolls a pending transaction back.
        }
    }
    Transazione(const Transazione&) = delete;
    Transazione& operator=(const Transazione&) = delete;

    void Commit() {
        db_.CommitTrans();
        aperta_ = false;
    }
    // Undoes everything since the beginning; its own errors reach the caller.
    void Rollback() {
        aperta_ = false;
        db_.Rollback();
    }

private:
    dao::Database db_;
    bool aperta_ = true;
};

} // namespace ledrana::schema_detail
