#pragma once
// Indexes and table definitions (part of dao/dao.h).

#include "dao/object_fields.h"

namespace ledrana::dao {

// ---- Index ----------------------------------------------------------------------------------------------

// Text fields compare without regard to case in unique indexes, as in Jet. Primary implies Unique and
// Required; one primary index per table (3283). Appending a unique index over duplicate values fails
// with 3022 and leaves nothing.
class Index {
public:
    Index(); // a new free-standing index
    std::string Name() const;
    void SetName(std::string_view name);
    bool Primary() const;
    void SetPrimary(bool primary); // 3219 once appended
    bool Unique() const;
    void SetUnique(bool unique); // 3219 once appended
    bool IgnoreNulls() const;
    void SetIgnoreNulls(bool ignore);
    bool Required() const;
    void SetRequired(bool required);
    dao::Fields Fields() const;
    Field CreateField(std::string_view name); // an index field (name only)
    dao::Properties Properties() const;

    explicit Index(std::shared_ptr<detail::IndexImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::IndexImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::IndexImpl> impl_;
};

class Indexes {
public:
    int Count() const;
    Index operator[](int index) const;             // sorted by name without regard to case
    Index operator[](std::string_view name) const; // 3265 when missing
    // 3284 duplicate name, 3283 second primary, 3264 no fields, 3265 unknown field, 3022 duplicates.
    void Append(const Index& index);
    void Delete(std::string_view name); // 3265 when missing
    void Refresh();

    explicit Indexes(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

// ---- TableDef -------------------------------------------------------------------------------------------

// A table definition. One made by CreateTableDef holds its fields and indexes until it is appended to
// TableDefs (3264 when it has no field). Attributes: 0 local table, dbSystemObject for the catalog tables,
// dbAttachedTable for an attached table (Connect ";DATABASE=path", SourceTableName the table there).
class TableDef {
public:
    TableDef(); // a new table definition, not appended
    std::string Name() const;
    void SetName(std::string_view name); // on an appended table: renames it (3010 when taken)
    std::int32_t Attributes() const;
    void SetAttributes(std::int32_t attributes); // before Append only (3219 after)
    std::string Connect() const;
    void SetConnect(std::string_view connect);
    std::string SourceTableName() const;
    void SetSourceTableName(std::string_view name);
    std::string ValidationRule() const;
    void SetValidationRule(std::string_view rule); // a rule on the fields of a row, checked on every save
    std::string ValidationText() const;
    void SetValidationText(std::string_view text); // the description of the error when the rule fails
    // Exact row count of a local table; -1 for an attached one.
    std::int64_t RecordCount() const;
    // Rows that hold a Null in a field of the primary key: the engine refuses them (3058), but an archive
    // written before, or by another program, may keep some; they stay readable and updatable. 0 for a table
    // without a primary key and for an attached one.
    std::int64_t NullKeyRows() const;
    bool Updatable() const;
    // For each (field, value): every Null of the field becomes the value, as saving it into each such row
    // through a recordset would make it, without writing a row (the rows take it at the next compaction);
    // the number of values completed, 0 for a field without a Null. -1, with nothing changed, for a field
    // with Nulls where a save could be refused (a unique index over it, a validation rule, a value it does
    // not take): the caller saves those row by row. The Nulls of all the fields are counted in one read of
    // the table, except, on a table whose values wait for the compaction, those of a field that no index
    // holds: completed at once too, they are counted as the values are stored (kNullsCountedLater; the
    // compaction reports them, DBEngine::LastCompactionCompletedNulls).
    std::vector<std::int64_t> FillNulls(const std::vector<std::pair<std::string, Variant>>& fields);
    // Every row's field `target` takes the value of field `source`, as Database::Execute of
    // "UPDATE table SET target = source" with these options changes them, but named through the catalog
    // rather than in SQL text, so that any name will do; the rows changed. 3265 for a field the table lacks.
    std::int64_t SetFieldFrom(std::string_view target, std::string_view source, int options = 0);
    // Fields().Append(field), then SetFieldFrom of it from `source`: where the field can read the
    // converted values at once (dbDeferWrite), both in one structure change, without counting the rows.
    void AppendFieldFrom(const Field& field, std::string_view source, int options = 0);
    // The field of `field`'s name takes its definition, with the values it held converted as
    // AppendFieldFrom(field under another name, this field's name, dbDeferWrite) reads them, and its place
    // after the other fields: what that append followed by Fields().Replace(name, other name) leaves, in
    // one structure change. False, with nothing changed, where that cannot be done in one (an index over
    // the field, validation rules, a counter): the caller takes the two steps.
    bool ConvertField(const Field& field);

    dao::Fields Fields() const;
    dao::Indexes Indexes() const;
    dao::Properties Properties() const;
    // A field to append to Fields() (or, name only, to an index's Fields). type 0 = to be set later;
    // size 0 = the type's default.
    Field CreateField(std::string_view name = {}, int type = 0, std::int32_t size = 0);
    Index CreateIndex(std::string_view name = {});
    Property CreateProperty(std::string_view name, int type, const Variant& value);
    void RefreshLink();
    Recordset OpenRecordset(int type = 0, int options = 0);
    // A dynaset, snapshot or forward-only recordset of the rows with the given fields only, in that order
    // (a field named twice comes once): a walk that reads a few fields of a wide table computes no other.
    Recordset OpenRecordset(const std::vector<std::string>& fields, int type = dbOpenSnapshot);

    explicit TableDef(std::shared_ptr<detail::TableDefImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::TableDefImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::TableDefImpl> impl_;
};

class TableDefs {
public:
    int Count() const;
    TableDef operator[](int index) const;             // sorted by name without regard to case
    TableDef operator[](std::string_view name) const; // case-insensitive; 3265 when missing
    void Append(const TableDef& table);               // 3010 name taken, 3264 no fields, 3191 field twice
    void Delete(std::string_view name); // drops the table (only the attachment for attached ones)
    void Refresh();

    explicit TableDefs(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

} // namespace ledrana::dao
