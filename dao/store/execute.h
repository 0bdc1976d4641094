#pragma once
// Jet SQL run on a connection: translation, crosstabs, parameters, validation rules and the statements
// that change rows or structure.

#include "dao/sql/jetsql.h"
#include "dao/store/catalog.h"
#include "dao/store/connection.h"
#include "dao/vb/variant.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ledrana::dao::detail {

// A SELECT text in which the tables among `sources` that carry hidden columns stand for their fields only.
std::string WithoutHiddenColumns(Connection& c, const std::vector<std::string>& sources,
                                 const std::string& sql);

// Jet SQL translated for this connection: field types and the spelling of names from its catalog.
JetStatement Translate(Connection& c, std::string_view jetSql);
// Makes a crosstab statement the SELECT of the headings its data gives (or lists), its cells typed.
void ResolveCrosstab(Connection& c, JetStatement& st);
// Checks the validation rules of a table on a row about to be saved: 3317 (a field's rule, with the
// field's ValidationText as description when it has one) or 3316 (the table's rule). `value` gives a
// field's value by its position in the table.
void CheckValidationRules(Connection& c, const TableState& t,
                          const std::function<Variant(std::size_t)>& value);
bool HasValidationRules(const TableState& t);

// Runs one Jet SQL statement (dao/store/execute.cpp). Returns the rows affected.
std::int64_t ExecuteJet(Connection& c, std::string_view jetSql, int options,
                        const std::vector<Variant>* values = nullptr);
// "UPDATE table SET target = source" run as ExecuteJet runs it with `options`, made from the names (no SQL
// text is read, so any name will do). Returns the rows affected.
std::int64_t SetFieldFrom(Connection& c, const std::string& table, const std::string& target,
                          const std::string& source, int options);
// Checks that every declared parameter has a value (3061 with the number missing) and binds them as ?k.
void BindParameters(Connection& c, sqlite3_stmt* s, const JetStatement& st,
                    const std::vector<Variant>* values);
void CheckParameters(const JetStatement& st, const std::vector<Variant>* values);
// SQL that is `column`'s value, or where it is Null `value`, that Null counted at `k` of the counts that a
// NullTally of the thread holds while the statement runs (dao_counted): the column read once.
std::string CountedNull(std::size_t k, const std::string& column, const std::string& value);
// The counts that dao_counted adds to on this thread while it lives; the function fails outside one, so
// that no SQL but the engine's own counts anything.
class NullTally {
public:
    explicit NullTally(std::vector<std::int64_t>& counts);
    ~NullTally();
    NullTally(const NullTally&) = delete;
    NullTally& operator=(const NullTally&) = delete;

private:
    std::vector<std::int64_t>* previous_;
};
// SQL of a value converted for a field as Execute converts it (jet_cast, or jet_cast_strict when `fail`),
// `fromType` the DAO type of a bare column read (0 when unknown).
std::string CastSql(const FieldDef& f, const std::string& expr, bool fail, int fromType);
// The value a new row takes for the field from its DefaultValue: none when it has none, or one that cannot
// be evaluated or stored in the field.
std::optional<Variant> DefaultValueOf(Connection& c, const FieldDef& f);
// The checks a written value passes (dao_ok's flags: required, zero-length, Null-free index); 0 for none.
int StoreFlags(const TableState& t, const FieldDef& f);
// SQL that is 1 when `value` may be written into the field (dao_ok), else 0 or, when `fail`, the error.
std::string StoreCheck(const TableState& t, const FieldDef& f, const std::string& value, bool fail);
// dao_kept(value, ...): the value where StoreCheck(..., false) lets it be stored, else `other`.
std::string StoredOr(const TableState& t, const FieldDef& f, const std::string& value,
                     const std::string& other);

} // namespace ledrana::dao::detail
