#pragma once
// Saved queries, their parameters, and recordsets (part of dao/dao.h).

#include "dao/object_tables.h"

namespace ledrana::dao {

// ---- QueryDef -------------------------------------------------------------------------------------------

// A parameter a query declares (PARAMETERS name type, ...): its value is given before the query runs, and
// converted to the parameter's type. A query run with a parameter left without a value fails with 3061.
class Parameter {
public:
    std::string Name() const;
    int Type() const;
    Variant Value() const;
    void SetValue(const Variant& value);

    Parameter(std::shared_ptr<detail::QueryDefImpl> query, std::size_t index)
        : query_(std::move(query)), index_(index) {}

private:
    std::shared_ptr<detail::QueryDefImpl> query_;
    std::size_t index_ = 0;
};

class Parameters {
public:
    int Count() const;
    Parameter operator[](int index) const;             // in the order of the declaration; 3265 out of range
    Parameter operator[](std::string_view name) const; // without regard to case; 3265 when missing

    explicit Parameters(std::shared_ptr<detail::QueryDefImpl> query) : query_(std::move(query)) {}

private:
    std::shared_ptr<detail::QueryDefImpl> query_;
};

// A saved query: its SQL text is kept exactly as given. A select query can be opened as a recordset and
// named in the FROM clause of other statements.
class QueryDef {
public:
    QueryDef() = default;
    std::string Name() const;
    void SetName(std::string_view name);
    std::string SQL() const;
    void SetSQL(std::string_view sql); // checked as at creation
    void Close();
    void Execute(int options = 0);
    Recordset OpenRecordset(int type = 0, int options = 0);
    std::int64_t RecordsAffected() const;
    dao::Properties Properties() const;
    dao::Parameters Parameters() const;

    explicit QueryDef(std::shared_ptr<detail::QueryDefImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::QueryDefImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::QueryDefImpl> impl_;
};

class QueryDefs {
public:
    int Count() const;
    QueryDef operator[](int index) const;             // sorted by name without regard to case
    QueryDef operator[](std::string_view name) const; // 3265 when missing
    void Append(const QueryDef& query);               // a QueryDef made by CreateQueryDef("") then named
    void Delete(std::string_view name);               // 3265 when missing
    void Refresh();

    explicit QueryDefs(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

// ---- Recordset ------------------------------------------------------------------------------------------

// OpenRecordset on a local table name gives a table-type recordset (rows in the table's order); on an
// attached table, a saved query or SQL text a dynaset, updatable when it reads one table (otherwise
// AddNew/Edit/Delete give 3027). A recordset is positioned on its first row (Eof and Bof when empty).
//
// AddNew / Edit fill an edit buffer; Update validates and writes it: 3163 text too long, 3315 zero-length
// text not allowed, 3314 Null in a required field, 3022 duplicate key, 3349 number out of range, 3058 Null
// in a primary key. On failure nothing is written and the buffer is kept. After AddNew + Update the
// current row is the one current before AddNew. A new row not saved is discarded by a move, a new
// AddNew/Edit, CancelUpdate or Close.
class Recordset {
public:
    Recordset() = default;
    bool Eof() const;    // VB's EOF (the C macro takes that name)
    bool Bof() const;    // VB's BOF
    void MoveNext();     // 3021 at EOF
    void MovePrevious(); // 3021 at BOF
    void MoveFirst();
    void MoveLast();
    // Exact number of rows (table-type: of the table; other types: of the result, counted on first call).
    std::int64_t RecordCount() const;
    void AddNew();        // 3023 when AddNew/Edit is pending
    void Edit();          // 3021 without a current row, 3023 when pending
    void Update();        // 3020 without AddNew/Edit
    void CancelUpdate();  // 3020 without AddNew/Edit
    void Delete();        // 3021 without a current row; the row stays current until a move
    int EditMode() const; // 0 none, 1 Edit, 2 AddNew
    bool Updatable() const;
    std::string Name() const; // the source as given
    int Type() const;         // dbOpenTable or dbOpenDynaset
    dao::Fields Fields() const;
    void Close(); // 3420 when already closed

    explicit Recordset(std::shared_ptr<detail::RecordsetImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::RecordsetImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::RecordsetImpl> impl_;
};

class Recordsets {
public:
    int Count() const; // open recordsets of the database
    void Refresh();

    explicit Recordsets(std::shared_ptr<detail::DatabaseImpl> db) : db_(std::move(db)) {}

private:
    std::shared_ptr<detail::DatabaseImpl> db_;
};

} // namespace ledrana::dao
