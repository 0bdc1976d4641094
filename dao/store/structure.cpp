// Structure changes: tables, fields, indexes and saved queries, applied to the SQLite schema and to the
// catalog together (the caller runs them inside Connection::Ddl, so both commit or neither does).

#include "dao/sql/jetsql.h"
#include "dao/store/internal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace ledrana::dao::detail {
namespace {

TableState& Table(Connection& c, std::string_view name) {
    TableState* t = c.catalog.FindTable(name);
    if (!t) ThrowJet(3265);
    return *t;
}

void SaveWholeTable(Connection& c, const TableState& t) {
    SaveTableRow(c, t);
    for (const auto& f : t.fields) {
        SaveFieldRow(c, t, f);
        SaveProperties(c, 2, t.name, f.name, f.properties);
    }
    for (const auto& ix : t.indexes)
        SaveIndexRow(c, t, ix);
    for (const auto& h : t.hidden)
        SaveHiddenRow(c, t, h);
    SaveProperties(c, 1, t.name, "", t.properties);
}

// The names of the SQLite table's columns, hidden and computed ones included.
std::vector<std::string> SqliteColumns(Connection& c, const TableState& t) {
    std::vector<std::string> names;
    sqlite3_stmt* s = c.Prepare("SELECT name FROM pragma_table_xinfo(?, 'main')");
    sqlite3_bind_text(s, 1, t.name.data(), static_cast<int>(t.name.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(s) == SQLITE_ROW)
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_reset(s);
    return names;
}

// Makes a name free for a field: a hidden column that has it moves to another name.
void FreeColumnName(Connection& c, TableState& t, std::string_view name) {
    for (std::size_t i = 0; i < t.hidden.size(); ++i) {
        if (!SameName(t.hidden[i], name)) continue;
        std::string old = t.hidden[i];
        DeleteHiddenRow(c, t, old);
        t.hidden.erase(t.hidden.begin() + static_cast<std::ptrdiff_t>(i));
        auto fill = std::find_if(t.fills.begin(), t.fills.end(),
                                 [&](const TableState::NullFill& f) { return f.column == old; });
        TableState::NullFill moved;
        if (fill != t.fills.end()) {
            moved = *fill;
            t.fills.erase(fill);
        }
        moved.column = HideColumn(c, t, old);
        if (!moved.field.empty()) {
            t.fills.push_back(moved);
            SaveHiddenRow(c, t, moved.column);
        }
        return;
    }
}

// A name SQLite has, or that an index waiting to be built will take.
bool SqliteNameTaken(Connection& c, const std::string& name) {
    sqlite3_stmt* s = c.Prepare("SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE UNION ALL "
                                "SELECT 1 FROM MSysIndexes WHERE SqlName = ?1 COLLATE NOCASE");
    sqlite3_bind_text(s, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    bool taken = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_reset(s);
    return taken;
}

std::string FreshIndexName(Connection& c, const std::string& table, const std::string& index) {
    std::string base = table + "." + index;
    std::string name = base;
    for (int n = 2; SqliteNameTaken(c, name); ++n)
        name = base + "~" + std::to_string(n);
    return name;
}

void NumberCounter(Connection& c, const TableState& t, const FieldDef& f) {
    std::string T = QuoteName(t.name), F = QuoteName(f.name);
    c.Exec("UPDATE " + T + " SET " + F +
           " = n.k FROM (SELECT rowid AS r, row_number() OVER (ORDER BY rowid) AS k FROM " + T + " WHERE " +
           F + " IS NULL) AS n WHERE " + T + ".rowid = n.r");
}

void CheckName(std::string_view name) {
    if (name.empty()) ThrowJet(3125, name);
}

// One value of an index key as a row gives it.
struct KeyValue {
    int type = SQLITE_NULL;
    sqlite3_int64 integer = 0;
    double real = 0;
    std::string bytes;
};

// A letter as SQLite's NOCASE compares it: A to Z as a to z, every other byte as it is.
char NoCaseLower(char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
}

bool IsNumber(const KeyValue& v) {
    return v.type == SQLITE_INTEGER || v.type == SQLITE_FLOAT;
}

// Whether an index takes two values for one key, as SQLite compares them: numbers by value (an integer
// equals a real only when the real is that integer exactly), texts by the column's collation (NOCASE or
// BINARY, for texts without a NUL character), blobs byte for byte.
bool SameKey(const KeyValue& a, const KeyValue& b, bool nocase) {
    if (IsNumber(a) && IsNumber(b)) {
        if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER) return a.integer == b.integer;
        if (a.type == SQLITE_FLOAT && b.type == SQLITE_FLOAT) return a.real == b.real;
        const KeyValue& i = a.type == SQLITE_INTEGER ? a : b;
        const double r = a.type == SQLITE_INTEGER ? b.real : a.real;
        return r >= -9223372036854775808.0 && r < 9223372036854775808.0 &&
               static_cast<sqlite3_int64>(r) == i.integer && static_cast<double>(i.integer) == r;
    }
    if (a.type != b.type || a.bytes.size() != b.bytes.size()) return false;
    if (a.type != SQLITE_TEXT || !nocase) return a.bytes == b.bytes;
    for (std::size_t k = 0; k < a.bytes.size(); ++k)
        if (NoCaseLower(a.bytes[k]) != NoCaseLower(b.bytes[k])) return false;
    return true;
}

// Reads column i of the row `s` stands on; false for a text with a NUL character in it, which SameKey does
// not compare.
bool ReadKey(sqlite3_stmt* s, int i, KeyValue& v) {
    v.type = sqlite3_column_type(s, i);
    if (v.type == SQLITE_INTEGER) v.integer = sqlite3_column_int64(s, i);
    if (v.type == SQLITE_FLOAT) v.real = sqlite3_column_double(s, i);
    if (v.type != SQLITE_TEXT && v.type != SQLITE_BLOB) return true;
    const void* p = v.type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(s, i))
                                          : sqlite3_column_blob(s, i);
    const auto n = static_cast<std::size_t>(sqlite3_column_bytes(s, i));
    v.bytes.assign(n ? static_cast<const char*>(p) : "", n);
    return v.type != SQLITE_TEXT || v.bytes.find('\0') == std::string::npos;
}

// A 64-bit hash of index keys, the same for any two keys SameKey takes for one: an integral real hashes as
// the integer it equals, a NOCASE text as its small letters. Each value adds a tag of its kind first, a text
// or blob its length after, so that no two lists of values run together.
class KeyHash {
public:
    void Byte(unsigned char b) { h_ = (h_ ^ b) * 0x100000001b3ULL; }
    void Word(std::uint64_t w) {
        h_ = (h_ ^ w) * 0x9E3779B97F4A7C15ULL;
        h_ ^= h_ >> 29;
    }
    // Adds the value `v`, of SQLite's type `type`; false for a text with a NUL character in it, which
    // SameKey does not compare.
    bool Add(sqlite3_value* v, int type, bool nocase) {
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            std::int64_t integer = 0;
            double real = 0;
            bool whole = type == SQLITE_INTEGER;
            if (whole) {
                integer = sqlite3_value_int64(v);
            } else {
                real = sqlite3_value_double(v);
                whole = real >= -9223372036854775808.0 && real < 9223372036854775808.0 &&
                        static_cast<double>(integer = static_cast<std::int64_t>(real)) == real;
            }
            std::uint64_t bits = 0;
            if (whole)
                std::memcpy(&bits, &integer, sizeof bits);
            else
                std::memcpy(&bits, &real, sizeof bits);
            Byte(whole ? 'i' : 'r');
            Word(bits);
            return true;
        }
        const bool text = type == SQLITE_TEXT;
        const auto* p =
            text ? sqlite3_value_text(v) : static_cast<const unsigned char*>(sqlite3_value_blob(v));
        const auto n = static_cast<std::size_t>(sqlite3_value_bytes(v));
        if (text && n && std::memchr(p, 0, n)) return false;
        Byte(text ? 't' : 'b');
        for (std::size_t k = 0; k < n; ++k)
            Byte(text && nocase ? static_cast<unsigned char>(NoCaseLower(static_cast<char>(p[k]))) : p[k]);
        Word(n);
        return true;
    }
    std::uint64_t value() const { return h_; }

private:
    std::uint64_t h_ = 0xcbf29ce484222325ULL;
};

// Keys hashed at most, in memory of their own: a larger table has its keys sorted by SQLite.
constexpr std::size_t kMaxHashedKeys = std::size_t{1} << 20;

// What dao_key_hashes(a, b, ...) gathers from the rows it reads: the hash of each row's key (a, b, ...),
// until a key holds a text it cannot hash, or a Null where `nullFree`, or the keys are more than
// kMaxHashedKeys, where it stops the read with an error (tooMany also when memory runs out). Without
// `nullFree`, a key that holds a Null is left out, as an index leaves it out of its uniqueness. The
// statement runs with `gathering` set to them on its thread; the function fails without.
struct KeyHashes {
    std::vector<bool> nocase; // for each field of the key
    bool nullFree = false;
    std::vector<std::uint64_t> hashes;
    bool null = false, incomparable = false, tooMany = false;
};
thread_local KeyHashes* gathering = nullptr;

void KeyHashesStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    KeyHashes* keys = gathering;
    if (!keys || static_cast<std::size_t>(argc) != keys->nocase.size())
        return sqlite3_result_error(ctx, "dao_key_hashes", -1);
    for (int k = 0; k < argc; ++k) {
        if (sqlite3_value_type(argv[k]) != SQLITE_NULL) continue;
        if (!keys->nullFree) return; // a key left out
        keys->null = true;
        return sqlite3_result_error(ctx, "dao_key_hashes", -1);
    }
    KeyHash key;
    for (int k = 0; k < argc; ++k) {
        if (key.Add(argv[k], sqlite3_value_type(argv[k]), keys->nocase[static_cast<std::size_t>(k)]))
            continue;
        keys->incomparable = true;
        return sqlite3_result_error(ctx, "dao_key_hashes", -1);
    }
    keys->tooMany = keys->hashes.size() == kMaxHashedKeys;
    if (keys->tooMany) return sqlite3_result_error(ctx, "dao_key_hashes", -1);
    try {
        keys->hashes.push_back(key.value());
    } catch (const std::bad_alloc&) {
        keys->tooMany = true; // the keys are compared by SQLite's sort instead
        sqlite3_result_error(ctx, "dao_key_hashes", -1);
    }
}

void KeyHashesFinal(sqlite3_context* ctx) {
    sqlite3_result_null(ctx);
}

// Sorts the hashes a byte at a time, from the lowest: for as many as a table holds, about four times
// quicker than comparing them.
void SortHashes(std::vector<std::uint64_t>& hashes) {
    std::vector<std::uint64_t> other(hashes.size());
    for (int shift = 0; shift < 64; shift += 8) {
        std::size_t start[257] = {};
        for (const std::uint64_t h : hashes)
            ++start[((h >> shift) & 0xff) + 1];
        for (int b = 0; b < 256; ++b)
            start[b + 1] += start[b];
        for (const std::uint64_t h : hashes)
            other[start[(h >> shift) & 0xff]++] = h;
        hashes.swap(other);
    }
}

// True when a row of the table has a Null in one of the fields.
bool HasNullKey(Connection& c, const TableState& t, const std::vector<std::string>& fields) {
    std::string test;
    for (const std::string& f : fields)
        test += (test.empty() ? "" : " OR ") + QuoteName(f) + " IS NULL";
    sqlite3_stmt* s = c.Prepare("SELECT 1 FROM " + QuoteName(t.name) + " WHERE " + test + " LIMIT 1");
    const bool found = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_reset(s);
    return found;
}

// What keeps the index from being made on the rows as they are.
enum class KeyFault { None, Null, Duplicate };

// KeyFault::Null when `nullFree` (a primary key or an index that disallows Null) and a row has a Null in a
// field of the index; KeyFault::Duplicate when two rows share a key of the index, none of its fields Null:
// the index cannot be made unique. The keys are read once and hashed, the Nulls seen in the same read: no
// two equal hashes, no two equal keys. Otherwise (and for a table of more keys than are hashed) the rows are
// read in the index's order, SQLite sorting them in the memory it is given, and each is compared with the
// one before. A field of another collation than BINARY or NOCASE, or a text with a NUL character in it, has
// the rows grouped by SQL instead.
KeyFault FindKeyFault(Connection& c, const TableState& t, const IndexDef& ix, bool nullFree) {
    std::string cols, nullTest;
    std::vector<bool> nocase;
    bool comparable = true;
    for (const std::string& f : ix.fields) {
        cols += (cols.empty() ? "" : ", ") + QuoteName(f);
        nullTest += (nullTest.empty() ? "" : " OR ") + QuoteName(f) + " IS NULL";
        const char* collation = nullptr;
        comparable = comparable &&
                     sqlite3_table_column_metadata(c.handle(), "main", t.name.c_str(), f.c_str(), nullptr,
                                                   &collation, nullptr, nullptr, nullptr) == SQLITE_OK;
        nocase.push_back(comparable && sqlite3_stricmp(collation, "NOCASE") == 0);
        comparable = comparable && (nocase.back() || sqlite3_stricmp(collation, "BINARY") == 0);
    }
    const std::string rows = " FROM " + QuoteName(t.name) + " WHERE NOT (" + nullTest + ")";
    if (!comparable && nullFree && HasNullKey(c, t, ix.fields)) return KeyFault::Null;
    std::vector<KeyValue> previous(ix.fields.size()), current(ix.fields.size());
    if (comparable) {
        KeyHashes keys;
        keys.nocase = nocase;
        keys.nullFree = nullFree;
        // Every row read once: a computed field of the key is computed once for each.
        sqlite3_stmt* s = c.Prepare("SELECT dao_key_hashes(" + cols + ") FROM " + QuoteName(t.name));
        {
            const struct Gathering {
                explicit Gathering(KeyHashes& k) { gathering = &k; }
                ~Gathering() { gathering = nullptr; }
            } into(keys);
            sqlite3_step(s); // the rows that an error of SQLite's own leaves unread are not looked at
            sqlite3_reset(s);
        }
        if (keys.null) return KeyFault::Null;
        comparable = !keys.incomparable;
        // A read cut short saw only some of the rows' Nulls.
        const bool whole = comparable && !keys.tooMany;
        if (nullFree && !whole && HasNullKey(c, t, ix.fields)) return KeyFault::Null;
        if (whole) {
            try {
                SortHashes(keys.hashes);
            } catch (const std::bad_alloc&) {
                std::sort(keys.hashes.begin(), keys.hashes.end());
            }
            if (std::adjacent_find(keys.hashes.begin(), keys.hashes.end()) == keys.hashes.end())
                return KeyFault::None;
        }
    }
    if (comparable) {
        sqlite3_stmt* s = c.Prepare("SELECT " + cols + rows + " ORDER BY " + cols);
        bool first = true, duplicate = false;
        while (!duplicate && comparable && sqlite3_step(s) == SQLITE_ROW) {
            bool same = !first;
            for (std::size_t k = 0; k < current.size(); ++k) {
                comparable = comparable && ReadKey(s, static_cast<int>(k), current[k]);
                same = same && SameKey(previous[k], current[k], nocase[k]);
            }
            duplicate = same;
            first = false;
            previous.swap(current);
        }
        sqlite3_reset(s);
        if (comparable) return duplicate ? KeyFault::Duplicate : KeyFault::None;
    }
    sqlite3_stmt* s = c.Prepare("SELECT 1" + rows + " GROUP BY " + cols + " HAVING count(*) > 1 LIMIT 1");
    const bool duplicate = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_reset(s);
    return duplicate ? KeyFault::Duplicate : KeyFault::None;
}

} // namespace

void RegisterKeyHashes(sqlite3* db) {
    sqlite3_create_function_v2(db, "dao_key_hashes", -1, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, nullptr,
                               KeyHashesStep, KeyHashesFinal, nullptr);
}

void CheckNewName(std::string_view name) {
    if (!ValidName(name)) ThrowJet(3125, name);
}

void CheckNewTable(const TableState& t) {
    CheckNewName(t.name);
    if (t.IsAttached()) return; // an attachment takes the fields of its source
    for (const FieldDef& f : t.fields)
        CheckNewName(f.name);
    for (const IndexDef& ix : t.indexes)
        CheckNewName(ix.name);
}

// A column name for the values of a deleted field that no column of the table has.
std::string HiddenName(Connection& c, const TableState& t, const std::string& field) {
    const std::vector<std::string> taken = SqliteColumns(c, t);
    for (int n = 1;; ++n) {
        std::string name = "~" + std::to_string(n) + "~" + field;
        if (std::none_of(taken.begin(), taken.end(), [&](const std::string& x) { return SameName(x, name); }))
            return name;
    }
}

std::string HideColumn(Connection& c, TableState& t, const std::string& column) {
    std::string hidden = HiddenName(c, t, column);
    EditColumns(c, t.name, {{column, hidden}}, {});
    t.hidden.push_back(hidden);
    SaveHiddenRow(c, t, hidden);
    return hidden;
}

std::string IndexSql(const TableState& t, const IndexDef& ix) {
    std::string cols;
    for (std::size_t i = 0; i < ix.fields.size(); ++i)
        cols += (i ? ", " : "") + QuoteName(ix.fields[i]) +
                (i < ix.descending.size() && ix.descending[i] ? " DESC" : "");
    return std::string(ix.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + QuoteName(ix.sqlName) +
           " ON " + QuoteName(t.name) + " (" + cols + ")";
}

void CreateTable(Connection& c, TableState t) {
    CheckName(t.name);
    if (c.catalog.FindTable(t.name) || c.catalog.FindQuery(t.name)) ThrowJet(3010, t.name);
    if (!t.connect.empty()) {
        // An attached table: its fields are those of the source table.
        std::string schema = c.AttachSource(t.connect);
        if (t.sourceTable.empty()) t.sourceTable = t.name;
        sqlite3_stmt* s =
            c.Prepare("SELECT Name, Ordinal, Type, Size, Attributes, AllowZeroLength, Required, "
                      "DefaultValue FROM " +
                      schema + ".MSysFields WHERE TableName = ? AND Ordinal >= 0 ORDER BY Ordinal");
        sqlite3_bind_text(s, 1, t.sourceTable.data(), static_cast<int>(t.sourceTable.size()),
                          SQLITE_TRANSIENT);
        t.fields.clear();
        while (sqlite3_step(s) == SQLITE_ROW) {
            FieldDef f;
            f.name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            f.ordinal = sqlite3_column_int(s, 1);
            f.type = sqlite3_column_int(s, 2);
            ReadStoredSize(f, sqlite3_column_int(s, 3));
            f.attributes = sqlite3_column_int(s, 4);
            f.allowZeroLength = sqlite3_column_int(s, 5) != 0;
            f.required = sqlite3_column_int(s, 6) != 0;
            if (auto* d = sqlite3_column_text(s, 7)) f.defaultValue = reinterpret_cast<const char*>(d);
            t.fields.push_back(std::move(f));
        }
        sqlite3_reset(s);
        if (t.fields.empty()) ThrowJet(3078, t.sourceTable);
        t.attributes = (t.attributes & ~dbSystemObject) | dbAttachedTable;
        t.indexes.clear();
        SaveWholeTable(c, t);
        c.catalog.tables.push_back(std::move(t));
        c.catalog.Sort();
        return;
    }
    if (t.fields.empty()) ThrowJet(3264);
    std::string sql = "CREATE TABLE " + QuoteName(t.name) + " (";
    int counters = 0;
    for (std::size_t i = 0; i < t.fields.size(); ++i) {
        FieldDef& f = t.fields[i];
        CheckName(f.name);
        for (std::size_t j = 0; j < i; ++j)
            if (SameName(t.fields[j].name, f.name)) ThrowJet(3191);
        NormaliseField(f);
        if (f.IsCounter() && ++counters > 1) ThrowJet(3090);
        f.ordinal = static_cast<int>(i);
        if (i) sql += ", ";
        sql += QuoteName(f.name) + " " + ColumnDecl(f);
    }
    sql += ")";
    c.Exec(sql);
    std::vector<IndexDef> indexes = std::move(t.indexes);
    t.indexes.clear();
    t.attributes &= ~(dbSystemObject | dbAttachedTable);
    SaveWholeTable(c, t);
    std::string name = t.name;
    c.catalog.tables.push_back(std::move(t));
    c.catalog.Sort();
    for (auto& ix : indexes)
        CreateIndex(c, name, std::move(ix));
}

void DropTable(Connection& c, std::string_view name) {
    TableState& t = Table(c, name);
    if (t.IsSystem()) ThrowJet(3219);
    std::string real = t.name;
    if (!t.IsAttached()) c.Exec("DROP TABLE " + QuoteName(real));
    DeleteCatalogTable(c, real);
    auto& v = c.catalog.tables;
    v.erase(std::remove_if(v.begin(), v.end(), [&](const TableState& x) { return SameName(x.name, real); }),
            v.end());
    c.ForgetCounters(real);
}

void RenameTable(Connection& c, std::string_view from, std::string_view to) {
    CheckName(to);
    TableState& t = Table(c, from);
    if (t.IsSystem()) ThrowJet(3219);
    if (!SameName(from, to) && (c.catalog.FindTable(to) || c.catalog.FindQuery(to))) ThrowJet(3010, to);
    std::string old = t.name;
    if (!t.IsAttached()) {
        if (SameName(old, to)) {
            std::string tmp = old + "~rename";
            c.Exec("ALTER TABLE " + QuoteName(old) + " RENAME TO " + QuoteName(tmp));
            c.Exec("ALTER TABLE " + QuoteName(tmp) + " RENAME TO " + QuoteName(to));
        } else {
            c.Exec("ALTER TABLE " + QuoteName(old) + " RENAME TO " + QuoteName(to));
        }
    }
    DeleteCatalogTable(c, old);
    t.name = std::string(to);
    SaveWholeTable(c, t);
    c.catalog.Sort();
    c.ForgetCounters(old);
}

std::exception_ptr AddFields(Connection& c, std::string_view table, std::vector<FieldDef>& fields) {
    TableState& t = Table(c, table);
    if (t.IsSystem() || t.IsAttached()) ThrowJet(3219);
    std::exception_ptr refusal;
    bool counter =
        std::any_of(t.fields.begin(), t.fields.end(), [](const FieldDef& f) { return f.IsCounter(); });
    std::size_t accepted = 0;
    for (; accepted < fields.size(); ++accepted) {
        FieldDef& f = fields[accepted];
        try {
            CheckName(f.name);
            if (t.FindField(f.name) ||
                std::any_of(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(accepted),
                            [&](const FieldDef& g) { return SameName(g.name, f.name); }))
                ThrowJet(3191);
            NormaliseField(f);
            if (f.IsCounter() && counter) ThrowJet(3090);
        } catch (const Error&) {
            refusal = std::current_exception();
            break;
        }
        counter = counter || f.IsCounter();
    }
    fields.resize(accepted);
    if (fields.empty()) return refusal;
    // Every column in one change of the schema, which SQLite then reads once.
    std::vector<std::string> columns;
    for (const FieldDef& f : fields) {
        FreeColumnName(c, t, f.name);
        columns.push_back(QuoteName(f.name) + " " + ColumnDecl(f));
    }
    EditColumns(c, t.name, {}, columns);
    for (FieldDef f : fields) {
        f.ordinal = t.NextOrdinal();
        if (f.IsCounter()) NumberCounter(c, t, f);
        SaveFieldRow(c, t, f);
        SaveProperties(c, 2, t.name, f.name, f.properties);
        t.fields.push_back(std::move(f));
    }
    c.ForgetCounters(t.name);
    return refusal;
}

void AddField(Connection& c, std::string_view table, FieldDef f) {
    std::vector<FieldDef> fields{std::move(f)};
    if (std::exception_ptr refusal = AddFields(c, table, fields)) std::rethrow_exception(refusal);
}

void DropField(Connection& c, std::string_view table, std::string_view field) {
    TableState& t = Table(c, table);
    if (t.IsSystem() || t.IsAttached()) ThrowJet(3219);
    FieldDef* f = t.FindField(field);
    if (!f) ThrowJet(3265);
    for (const auto& ix : t.indexes)
        for (const auto& name : ix.fields)
            if (SameName(name, field)) ThrowJet(3280);
    if (t.fields.size() == 1) ThrowJet(3280);
    std::string name = f->name;
    // The values leave the rows at the next compaction; until then the column is hidden under a name of
    // its own, and the field's name is free at once.
    HideColumn(c, t, name);
    DeleteCatalogTable(c, t.name);
    t.fields.erase(t.fields.begin() + t.FieldIndex(name));
    SaveWholeTable(c, t);
    c.ForgetCounters(t.name);
}

void RenameField(Connection& c, std::string_view table, std::string_view from, std::string_view to) {
    CheckName(to);
    TableState& t = Table(c, table);
    if (t.IsSystem() || t.IsAttached()) ThrowJet(3219);
    FieldDef* f = t.FindField(from);
    if (!f) ThrowJet(3265);
    if (!SameName(from, to) && t.FindField(to)) ThrowJet(3191);
    std::string old = f->name;
    if (old == to) return;
    if (!SameName(old, to)) FreeColumnName(c, t, to);
    EditColumns(c, t.name, {{old, std::string(to)}}, {});
    f->name = std::string(to);
    for (auto& ix : t.indexes)
        for (auto& n : ix.fields)
            if (SameName(n, old)) n = std::string(to);
    DeleteCatalogTable(c, t.name);
    SaveWholeTable(c, t);
}

void ReplaceField(Connection& c, std::string_view table, std::string_view field, std::string_view by) {
    TableState& t = Table(c, table);
    const FieldDef* f = t.FindField(field);
    const FieldDef* b = t.FindField(by);
    // What the two steps would refuse, or a hidden column that has the name: the two steps.
    if (t.IsSystem() || t.IsAttached() || !f || !b || SameName(field, by) || t.fields.size() == 1 ||
        t.Hides(field) || std::any_of(t.indexes.begin(), t.indexes.end(), [&](const IndexDef& ix) {
            return std::any_of(ix.fields.begin(), ix.fields.end(),
                               [&](const std::string& n) { return SameName(n, field); });
        })) {
        DropField(c, table, field);
        RenameField(c, table, by, field);
        return;
    }
    CheckName(field);
    const std::string old = f->name, from = b->name, name(field);
    // The field's values leave the rows at the next compaction, under a name of their own; `by` takes the
    // name, as given, in the same edit.
    const std::string hidden = HiddenName(c, t, old);
    EditColumns(c, t.name, {{old, hidden}, {from, name}}, {});
    t.hidden.push_back(hidden);
    SaveHiddenRow(c, t, hidden);
    t.fields.erase(t.fields.begin() + t.FieldIndex(old));
    t.FindField(from)->name = name;
    for (auto& ix : t.indexes)
        for (auto& n : ix.fields)
            if (SameName(n, from)) n = name;
    DeleteCatalogTable(c, t.name);
    SaveWholeTable(c, t);
    c.ForgetCounters(t.name);
}

bool ConvertField(Connection& c, std::string_view table, FieldDef f) {
    TableState* t = c.catalog.FindTable(table);
    if (!t || t->IsSystem() || t->IsAttached() || HasValidationRules(*t) || f.name.empty()) return false;
    const FieldDef* old = t->FindField(f.name);
    if (!old || old->IsCounter() || t->Hides(f.name) ||
        std::any_of(t->indexes.begin(), t->indexes.end(), [&](const IndexDef& ix) {
            return std::any_of(ix.fields.begin(), ix.fields.end(),
                               [&](const std::string& n) { return SameName(n, f.name); });
        }))
        return false;
    NormaliseField(f);
    if (f.IsCounter()) return false;
    // As the field appended and then put in the old one's place: the last of the fields, its values those
    // it would take from the old ones (stored where they may be, else Null), which stay hidden in the rows.
    f.ordinal = t->NextOrdinal();
    const std::string hidden = HiddenName(c, *t, old->name);
    const std::string cast = CastSql(f, "(" + QuoteName(hidden) + ")", false, old->type);
    const std::string expr = StoreFlags(*t, f) ? StoredOr(*t, f, cast, "NULL") : cast;
    // The old column takes its hidden name and the new one is appended computed from it, in one edit.
    EditColumns(c, t->name, {{old->name, hidden}},
                {QuoteName(f.name) + " " + ColumnDecl(f) + " GENERATED ALWAYS AS (" + expr + ") VIRTUAL"});
    t->hidden.push_back(hidden);
    t->fields.erase(t->fields.begin() + t->FieldIndex(old->name));
    f.derived = true;
    f.readByDerived = false;
    t->fields.push_back(std::move(f));
    DeleteCatalogTable(c, t->name);
    SaveWholeTable(c, *t);
    c.ForgetCounters(t->name);
    return true;
}

void UpdateFieldProperties(Connection& c, std::string_view table, const FieldDef& f) {
    TableState& t = Table(c, table);
    FieldDef* cur = t.FindField(f.name);
    if (!cur) ThrowJet(3265);
    const bool derived = cur->derived, read = cur->readByDerived;
    *cur = f;
    cur->derived = derived;
    cur->readByDerived = read;
    if (!t.IsSystem()) {
        SaveFieldRow(c, t, *cur);
        SaveProperties(c, 2, t.name, cur->name, cur->properties);
    }
}

void CreateIndex(Connection& c, std::string_view table, IndexDef ix) {
    TableState& t = Table(c, table);
    if (t.IsSystem() || t.IsAttached()) ThrowJet(3219);
    CheckName(ix.name);
    if (t.FindIndex(ix.name)) ThrowJet(3284);
    if (ix.fields.empty()) ThrowJet(3264);
    if (ix.primary)
        for (const auto& other : t.indexes)
            if (other.primary) ThrowJet(3283);
    if (ix.primary) ix.unique = true;
    ix.descending.resize(ix.fields.size(), false);
    for (std::size_t i = 0; i < ix.fields.size(); ++i) {
        const FieldDef* f = t.FindField(ix.fields[i]);
        if (!f) ThrowJet(3265);
        ix.fields[i] = f->name;
        for (std::size_t j = 0; j < i; ++j)
            if (SameName(ix.fields[j], f->name)) ThrowJet(3191);
    }
    ix.sqlName = FreshIndexName(c, t.name, ix.name);
    // On a table whose values wait for the compaction the index waits too, as it does on any table with
    // rows while the connection defers index builds: it is checked now on the values the table reads and
    // built with them.
    ix.built = true;
    for (const FieldDef& f : t.fields)
        ix.built = ix.built && !f.derived;
    if (ix.built && c.deferIndexBuilds) {
        sqlite3_stmt* s = c.Prepare("SELECT 1 FROM " + QuoteName(t.name) + " LIMIT 1");
        ix.built = sqlite3_step(s) != SQLITE_ROW;
        sqlite3_reset(s);
    }
    const bool nullFree = ix.primary || ix.required;
    if (ix.built || !ix.unique) {
        if (nullFree && HasNullKey(c, t, ix.fields)) ThrowJet(3058);
    } else if (const KeyFault fault = FindKeyFault(c, t, ix, nullFree); fault != KeyFault::None) {
        ThrowJet(fault == KeyFault::Null ? 3058 : 3022);
    }
    if (ix.built) {
        c.Exec(IndexSql(t, ix));
    } else {
        // SQLite's schema does not change: the statements prepared so far are prepared again, so that those
        // that write the table are asked about the waiting index (RefuseUngatedWrites).
        c.cache.clear();
    }
    SaveIndexRow(c, t, ix);
    t.indexes.push_back(std::move(ix));
    c.catalog.Sort();
}

void DropIndex(Connection& c, std::string_view table, std::string_view index) {
    TableState& t = Table(c, table);
    IndexDef* ix = t.FindIndex(index);
    if (!ix) ThrowJet(3265);
    if (!ix->sqlName.empty()) c.Exec("DROP INDEX IF EXISTS " + QuoteName(ix->sqlName));
    std::string name = ix->name;
    t.indexes.erase(std::remove_if(t.indexes.begin(), t.indexes.end(),
                                   [&](const IndexDef& x) { return SameName(x.name, name); }),
                    t.indexes.end());
    sqlite3_stmt* s = c.Prepare("DELETE FROM MSysIndexes WHERE TableName=? AND Name=?");
    sqlite3_bind_text(s, 1, t.name.data(), static_cast<int>(t.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_step(s);
    sqlite3_reset(s);
}

void CreateQuery(Connection& c, std::string_view name, std::string_view sql) {
    CheckName(name);
    if (c.catalog.FindQuery(name) || c.catalog.FindTable(name)) ThrowJet(3012, name);
    if (!sql.empty()) CheckQuerySql(c, sql);
    sqlite3_stmt* s = c.Prepare("INSERT INTO MSysQueries(Name, SQL) VALUES(?,?)");
    sqlite3_bind_text(s, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, sql.data(), static_cast<int>(sql.size()), SQLITE_TRANSIENT);
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc);
    c.catalog.queries.push_back({std::string(name), std::string(sql), {}});
    c.catalog.Sort();
}

void DropQuery(Connection& c, std::string_view name) {
    QueryState* q = c.catalog.FindQuery(name);
    if (!q) ThrowJet(3265);
    std::string real = q->name;
    for (const char* sql : {"DELETE FROM MSysQueries WHERE Name=?",
                            "DELETE FROM MSysProperties WHERE ObjectKind=3 AND ObjectName=?"}) {
        sqlite3_stmt* s = c.Prepare(sql);
        sqlite3_bind_text(s, 1, real.data(), static_cast<int>(real.size()), SQLITE_TRANSIENT);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    auto& v = c.catalog.queries;
    v.erase(std::remove_if(v.begin(), v.end(), [&](const QueryState& x) { return SameName(x.name, real); }),
            v.end());
}

} // namespace ledrana::dao::detail
