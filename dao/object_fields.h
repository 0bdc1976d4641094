#pragma once
// Properties and fields of tables, indexes and recordsets (part of dao/dao.h).

#include "dao/object_declarations.h"

namespace ledrana::dao {

// ---- Property -------------------------------------------------------------------------------------------

// A built-in property of a table or field (Name, Type, Size, Attributes, AllowZeroLength, Required,
// DefaultValue, ValidationRule, ValidationText, OrdinalPosition, ...) or a user-defined one (made with
// CreateProperty and appended, such as a table's "description"). Setting the Value of a built-in property
// does what setting the object's attribute does; setting a user-defined one stores it at once.
class Property {
public:
    Property() = default;
    std::string Name() const;
    int Type() const; // dbText, dbLong, dbBoolean...
    Variant Value() const;
    void SetValue(const Variant& value);
    bool Inherited() const { return false; }

    explicit Property(std::shared_ptr<detail::PropertyImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::PropertyImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::PropertyImpl> impl_;
};

class Properties {
public:
    int Count() const;
    Property operator[](int index) const;             // 0-based; 3265 out of range
    Property operator[](std::string_view name) const; // case-insensitive; 3270 when missing
    // Appends a property made with CreateProperty; 3367 when one of that name exists.
    void Append(const Property& property);
    // Deletes a user-defined property; 3265 when missing, 3219 for a built-in one.
    void Delete(std::string_view name);
    void Refresh();

    explicit Properties(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

// ---- Field ----------------------------------------------------------------------------------------------

// A field of a table definition, of an index, of a recordset, or a free-standing one (Field f;) that is
// given Name, Type, Size, Attributes and then appended to a table's Fields.
//
// Types and sizes are DAO's: Text 1-255 (default 50), Boolean 1, Byte 1, Integer 2, Long 4, Currency 8,
// Single 4, Double 8, Date 8, GUID 16, Decimal 16, Memo / Binary / LongBinary 0 (Binary 1-255 when given).
// A Decimal field has a Precision (digits in all, 1-28, default 18) and a Scale (decimals, 0 to Precision,
// default 0); a value is rounded half to even to Scale decimals and refused (3349) when it still has too
// many digits.
// On append the engine sets dbFixedField on fixed-size types and dbVariableField on Text, Memo and the
// binaries; dbAutoIncrField only counts on a Long (a counter, Attributes 17).
// A field appended to a table with rows holds Null in them (a counter numbers them 1..n in the table's
// order; new rows continue after the largest value). AllowZeroLength and Required start False.
class Field {
public:
    Field(); // a new free-standing field definition
    std::string Name() const;
    void SetName(std::string_view name); // on an appended table field: renames the column
    int Type() const;
    void SetType(int type); // 3219 once appended
    std::int32_t Size() const;
    void SetSize(std::int32_t size); // 3219 once appended
    std::int32_t Attributes() const;
    void SetAttributes(std::int32_t attributes);
    int Precision() const;            // Decimal fields; 0 for the other types
    void SetPrecision(int precision); // 3219 once appended or out of 1-28
    int Scale() const;
    void SetScale(int scale); // 3219 once appended or out of 0-28
    bool AllowZeroLength() const;
    void SetAllowZeroLength(bool allow);
    bool Required() const;
    void SetRequired(bool required);
    std::string DefaultValue() const; // Jet expression text, "" for none
    void SetDefaultValue(std::string_view expression);
    std::string ValidationRule() const;
    void SetValidationRule(std::string_view rule);
    std::string ValidationText() const;
    void SetValidationText(std::string_view text);
    int OrdinalPosition() const;
    void SetOrdinalPosition(int position);
    std::string SourceTable() const;
    std::string SourceField() const;

    // Recordset fields: the value of the current row (or of the edit buffer during AddNew/Edit).
    // Value: 3021 at BOF/EOF. SetValue: 3020 outside AddNew/Edit, 3163 text longer than Size, 3421 a
    // value that cannot become the field's type, 3027 on a read-only recordset or a counter.
    // On table and index fields Value/SetValue give 3219.
    Variant Value() const;
    void SetValue(const Variant& value);

    dao::Properties Properties() const;
    // A user-defined property, to be appended to Properties() (3219 when type is 0 or the name empty).
    Property CreateProperty(std::string_view name, int type, const Variant& value);

    explicit Field(std::shared_ptr<detail::FieldImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::FieldImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::FieldImpl> impl_;
};

class Fields {
public:
    int Count() const;
    Field operator[](int index) const;             // 0-based, ordinal order; 3265 out of range
    Field operator[](std::string_view name) const; // case-insensitive; 3265 when missing
    // Table fields: 3191 for a duplicate name (also on a new TableDef), 3219/3259 for a field without
    // type, 3367 for a field already in a collection. On an appended table it adds the column at once.
    // Index fields: the field is named after a table field (made with CreateField(name)).
    // Recordset fields: 3219.
    void Append(const Field& field);
    // Append of each field in turn; on an appended table their columns are added in one structure change.
    // The first field that Append would refuse ends the list: the fields before it are appended, then its
    // error is thrown.
    void Append(const std::vector<Field>& fields);
    // Table fields: drops the column; 3280 when an index uses it, 3265 when missing.
    void Delete(std::string_view name);
    // Table fields: Delete(name), then field `by` renamed `name`, in one structure change; the errors of
    // those two.
    void Replace(std::string_view name, std::string_view by);
    void Refresh();

    explicit Fields(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

} // namespace ledrana::dao
