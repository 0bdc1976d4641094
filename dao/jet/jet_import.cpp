// Conversion of a Jet or ACE file into one of our archives: structure through the catalog, rows in one
// transaction per table, indexes after the rows, saved queries last.

#include "dao/jet/jet_import.h"

#include "dao/jet/jet_file.h"
#include "dao/store/internal.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include "dao/jet/jet_password.h"
#include "dao/jet/jet_queries.h"

#include <mdbtools.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

namespace ledrana::dao {

using namespace detail;

namespace {

using jet::Value;

bool Yes(const std::string& v) {
    return ledrana::EqualsNoCase(v, "yes") || v == "1" || ledrana::EqualsNoCase(v, "true");
}

bool IsBinaryProperty(const std::string& v) {
    return v.rfind("(binary data of length", 0) == 0;
}

// Identities the file's own program keeps for its objects (a column's GUID, a table's name map): they
// mean nothing outside that file.
bool IsInternalProperty(const std::string& name) {
    return ledrana::EqualsNoCase(name, "GUID") || ledrana::EqualsNoCase(name, "NameMap");
}

// The DAO definition of a Jet column; notes what cannot be kept as it is.
FieldDef FieldFor(const jet::Column& c, const std::string& table, std::vector<std::string>& notes) {
    FieldDef f;
    f.name = c.name;
    const std::string where = "tabella " + table + ", campo " + c.name;
    switch (c.jetType) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_OLE:
    case MDB_MEMO:
        f.type = c.jetType;
        break;
    case MDB_TEXT:
    case MDB_BINARY:
        f.type = c.jetType;
        f.size = c.size > 0 && c.size <= 255 ? c.size : 255;
        break;
    case MDB_REPID:
        f.type = dbGUID;
        if (c.guidAuto)
            notes.push_back(where + ": GUID generato automaticamente, ora da assegnare a ogni nuova riga");
        break;
    case MDB_NUMERIC:
        f.type = dbDecimal;
        f.precision = std::clamp(c.precision, 1, Decimal::kMaxPrecision);
        f.scale = std::clamp(c.scale, 0, f.precision);
        break;
    case MDB_COMPLEX:
        // The reference number of the row's values, when no primary key can stand for it (see PlanTable).
        f.type = dbLong;
        break;
    case jet::kExtendedDate:
        f.type = dbDate;
        notes.push_back(where + ": Data/ora estesa convertita in Data/ora (i valori che questa non può " +
                        "contenere esattamente sono nel registro della conversione)");
        break;
    default:
        f.type = dbLongBinary;
        notes.push_back(where + ": tipo Jet " + std::to_string(c.jetType) + " conservato come dati binari");
        break;
    }
    if (c.calculated) {
        std::string expression;
        for (const auto& [name, value] : c.properties)
            if (ledrana::EqualsNoCase(name, "Expression")) expression = value;
        notes.push_back(where + ": campo calcolato (" + expression +
                        "), conserva i valori calcolati nel file ma non è più ricalcolato");
    }
    f.attributes = c.fixed ? dbFixedField : dbVariableField;
    if (c.counter && f.type == dbLong) f.attributes |= dbAutoIncrField;
    for (const auto& [name, value] : c.properties) {
        if (ledrana::EqualsNoCase(name, "Required"))
            f.required = Yes(value);
        else if (ledrana::EqualsNoCase(name, "AllowZeroLength"))
            f.allowZeroLength = Yes(value);
        else if (ledrana::EqualsNoCase(name, "DefaultValue"))
            f.defaultValue = value;
        else if (ledrana::EqualsNoCase(name, "ValidationRule"))
            f.validationRule = value;
        else if (ledrana::EqualsNoCase(name, "ValidationText"))
            f.validationText = value;
        else if (IsInternalProperty(name))
            continue;
        else if (IsBinaryProperty(value))
            notes.push_back(where + ": proprietà binaria " + name + " non convertita");
        else
            f.properties.push_back({name, dbText, Variant(value)});
    }
    return f;
}

Variant ToVariant(const Value& v, const FieldDef& f) {
    switch (v.kind) {
    case Value::Kind::Null:
        return Variant::Null();
    case Value::Kind::Boolean:
        return Variant(v.i != 0);
    case Value::Kind::Byte:
        return Variant::FromByte(static_cast<std::uint8_t>(v.i));
    case Value::Kind::Integer:
        return Variant::FromInteger(static_cast<std::int16_t>(v.i));
    case Value::Kind::Long:
        if (f.type == dbText) return Variant(std::to_string(v.i));
        return Variant::FromLong(static_cast<std::int32_t>(v.i));
    case Value::Kind::Currency:
        return Variant::FromCurrencyScaled(v.i);
    case Value::Kind::Single:
        return Variant::FromSingle(static_cast<float>(v.d));
    case Value::Kind::Double:
        return Variant::FromDouble(v.d);
    case Value::Kind::Date:
        return Variant::FromDate(v.d);
    case Value::Kind::Binary:
        return Variant::FromBinary(v.s);
    case Value::Kind::Decimal:
        if (f.type == dbDecimal)
            if (std::optional<Decimal> d = Decimal::Parse(v.s)) return Variant::FromDecimal(*d);
        return Variant(v.s);
    default:
        return Variant(v.s);
    }
}

void Step(Connection& c, sqlite3_stmt* s) {
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc);
}

// A complex column whose values become a table of ours.
struct ComplexPlan {
    int column = -1;       // in the file's table
    std::string flatTable; // the file's hidden table holding the values
    std::string name;      // our table
    std::string field;     // the field the user knows (the memo of a version history)
    // The owners' keys by reference number, gathered while the rows are copied.
    std::map<std::int64_t, std::vector<Variant>> owners;
};

// How a table of the file becomes ours.
struct TablePlan {
    TableState t;
    std::vector<int> source;         // per field of ours, the file's column holding its values
    std::vector<int> key;            // the file's columns naming a row: its primary key ({} when none)
    std::vector<FieldDef> keyFields; // their definitions, for the tables of complex values
    std::vector<ComplexPlan> complex;
};

// A name for a new table that neither the file nor the archive uses yet.
std::string FreeTableName(Connection& c, const std::vector<std::string>& fileTables, std::string name) {
    auto taken = [&](const std::string& n) {
        if (c.catalog.FindTable(n)) return true;
        for (const auto& t : fileTables)
            if (ledrana::EqualsNoCase(t, n)) return true;
        return false;
    };
    const std::string base = name;
    for (int n = 2; taken(name); ++n)
        name = base + "_" + std::to_string(n);
    return name;
}

// The largest scale among the values of a table's calculated Decimal columns (their definitions have none).
void ScaleCalculatedDecimals(const jet::File& file, jet::TableInfo& info) {
    std::vector<std::size_t> cols;
    for (std::size_t i = 0; i < info.columns.size(); ++i)
        if (info.columns[i].calculated && info.columns[i].jetType == MDB_NUMERIC) cols.push_back(i);
    if (cols.empty()) return;
    for (auto i : cols)
        info.columns[i].precision = 28, info.columns[i].scale = 0;
    file.ForEachRow(info.name, [&](const std::vector<Value>& row) {
        for (auto i : cols) {
            const auto dot = row[i].s.find('.');
            if (row[i].kind == Value::Kind::Decimal && dot != std::string::npos)
                info.columns[i].scale =
                    std::max(info.columns[i].scale, static_cast<int>(row[i].s.size() - dot - 1));
        }
    });
}

TablePlan PlanTable(const jet::File& file, Connection& c, jet::TableInfo& info,
                    const std::vector<std::string>& fileTables, std::vector<std::string>& notes) {
    TablePlan plan;
    plan.t.name = info.name;
    ScaleCalculatedDecimals(file, info);
    for (const auto& x : info.indexes)
        if (x.primary && plan.key.empty())
            for (const auto& [col, desc] : x.fields)
                if (col >= 0 && col < static_cast<int>(info.columns.size()) &&
                    info.columns[col].jetType != MDB_COMPLEX)
                    plan.key.push_back(col);
    for (std::size_t i = 0; i < info.columns.size(); ++i) {
        const jet::Column& col = info.columns[i];
        FieldDef f = FieldFor(col, info.name, notes);
        if (col.jetType == MDB_COMPLEX) {
            if (col.flatTable.empty()) {
                notes.push_back("tabella " + info.name + ", campo " + col.name +
                                ": campo multivalore o allegato i cui valori non sono nel file, " +
                                "conservato il numero del riferimento");
            } else {
                ComplexPlan cp;
                cp.column = static_cast<int>(i);
                cp.flatTable = col.flatTable;
                cp.field = col.name;
                // A version history names the append-only memo it keeps the earlier texts of.
                const jet::TableInfo flat = file.ReadTable(col.flatTable);
                for (const auto& other : info.columns)
                    for (const auto& value : flat.columns)
                        if (other.jetType == MDB_MEMO && ledrana::EqualsNoCase(other.name, value.name))
                            cp.field = other.name;
                cp.name = FreeTableName(c, fileTables, info.name + "_" + cp.field);
                plan.complex.push_back(std::move(cp));
                // Without a primary key the reference number stays in the row as its key.
                if (!plan.key.empty()) continue;
            }
        }
        plan.t.fields.push_back(std::move(f));
        plan.source.push_back(static_cast<int>(i));
    }
    for (int k : plan.key) {
        const FieldDef& f = *plan.t.FindField(info.columns[k].name);
        FieldDef keyField;
        keyField.name = f.name;
        keyField.type = f.type;
        keyField.size = f.size;
        keyField.attributes = f.attributes & dbFixedField;
        plan.keyFields.push_back(std::move(keyField));
    }
    for (const auto& [pname, value] : info.properties) {
        if (ledrana::EqualsNoCase(pname, "ValidationRule"))
            plan.t.validationRule = value;
        else if (ledrana::EqualsNoCase(pname, "ValidationText"))
            plan.t.validationText = value;
        else if (IsInternalProperty(pname))
            continue;
        else if (IsBinaryProperty(value))
            notes.push_back("tabella " + info.name + ": proprietà binaria " + pname + " non convertita");
        else
            plan.t.properties.push_back({pname, dbText, Variant(value)});
    }
    return plan;
}

// The value stored for a field: as the field's rules want it, or whole when they refuse it (text longer
// than its size), noted once per field.
Variant Stored(const Value& value, const FieldDef& f, const std::string& table,
               std::vector<std::string>& notes, std::vector<std::string>& tooLong) {
    Variant v = ToVariant(value, f);
    try {
        return ToStorage(v, f);
    } catch (const Error&) {
        if (std::find(tooLong.begin(), tooLong.end(), f.name) == tooLong.end()) {
            tooLong.push_back(f.name);
            notes.push_back("tabella " + table + ", campo " + f.name +
                            ": valori più lunghi della dimensione del campo conservati interi");
        }
        return v;
    }
}

std::string InsertSql(const TableState& t) {
    std::string sql = "INSERT INTO " + QuoteName(t.name) + " VALUES(";
    for (std::size_t i = 0; i < t.fields.size(); ++i)
        sql += i ? ",?" : "?";
    return sql + ")";
}

// Runs `fill` in one transaction, then lets the archive know the table changed. Committing what came before
// may read the catalog anew: `fill` looks its table up itself.
void InOneTransaction(Connection& c, const std::string& table, const std::function<void()>& fill) {
    c.Flush();
    c.Exec("BEGIN IMMEDIATE");
    try {
        fill();
        c.Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(c.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    c.ForgetCounters(table);
    ++c.writeGeneration;
}

// Copies the rows of one table in one transaction; gathers the keys of the rows that own complex values,
// and journals the values kept in part. Returns the rows written.
std::int64_t CopyRows(const jet::File& file, Connection& c, const std::string& table, TablePlan& plan,
                      const std::string& jetName, JetImportReport& report) {
    std::int64_t written = 0;
    std::vector<std::string> tooLong;
    InOneTransaction(c, table, [&] {
        const TableState& t = *c.catalog.FindTable(table);
        sqlite3_stmt* ins = c.Prepare(InsertSql(t));
        file.ForEachRow(jetName, [&](const std::vector<Value>& row) {
            auto keyOf = [&] {
                std::vector<Variant> key;
                for (std::size_t k = 0; k < plan.key.size(); ++k)
                    key.push_back(ToVariant(row[plan.key[k]], plan.keyFields[k]));
                return key;
            };
            for (std::size_t i = 0; i < t.fields.size(); ++i) {
                const Value& value = row[plan.source[i]];
                if (!value.exact.empty()) {
                    std::string key;
                    for (const Variant& k : keyOf())
                        key += (key.empty() ? "" : ", ") + k.ToString();
                    if (plan.key.empty()) key = "n. " + std::to_string(written + 1);
                    report.journal.push_back({t.name, key, t.fields[i].name, value.exact});
                }
                BindVariant(ins, static_cast<int>(i) + 1,
                            Stored(value, t.fields[i], t.name, report.notes, tooLong));
            }
            for (ComplexPlan& cp : plan.complex) {
                const Value& ref = row[cp.column];
                if (ref.kind == Value::Kind::Null) continue;
                cp.owners[ref.i] =
                    plan.key.empty()
                        ? std::vector<Variant>{Variant::FromLong(static_cast<std::int32_t>(ref.i))}
                        : keyOf();
            }
            Step(c, ins);
            ++written;
        });
    });
    return written;
}

// The values of a complex column as a table of ours: the key of the owning row, then the value's fields
// (an attachment's bytes as the user stored them), one row per value.
// Returns the rows written, -1 when the values could not be told apart from the reference.
std::int64_t CopyComplexValues(const jet::File& file, Connection& c, const jet::TableInfo& info,
                               const TablePlan& plan, const ComplexPlan& cp, JetImportReport& report) {
    const jet::TableInfo flat = file.ReadTable(cp.flatTable);
    const std::string& column = info.columns[cp.column].name;
    // The hidden table's own counter and the reference number are not values.
    int reference = -1;
    for (std::size_t i = 0; i < flat.columns.size(); ++i) {
        const jet::Column& fc = flat.columns[i];
        if (fc.jetType == MDB_LONGINT && !fc.counter &&
            (reference < 0 || ledrana::EqualsNoCase(fc.name, info.name + "_" + column)))
            reference = static_cast<int>(i);
    }
    if (reference < 0) {
        report.notes.push_back("tabella " + info.name + ", campo " + cp.field + ": la tabella nascosta " +
                               cp.flatTable + " non ha il numero del riferimento, valori non convertiti");
        return -1;
    }
    TableState t;
    t.name = cp.name;
    std::vector<int> source;
    std::vector<std::string> keyNames;
    if (plan.key.empty()) {
        FieldDef f;
        f.name = column;
        f.type = dbLong;
        f.attributes = dbFixedField;
        t.fields.push_back(f);
    } else {
        t.fields = plan.keyFields;
    }
    for (const FieldDef& f : t.fields) {
        keyNames.push_back(f.name);
        source.push_back(-1);
    }
    bool attachments = false;
    for (const auto& fc : flat.columns)
        attachments = attachments || ledrana::EqualsNoCase(fc.name, "FileName");
    int fileData = -1;
    for (std::size_t i = 0; i < flat.columns.size(); ++i) {
        const jet::Column& fc = flat.columns[i];
        if (static_cast<int>(i) == reference || fc.counter) continue;
        FieldDef f = FieldFor(fc, cp.name, report.notes);
        // A value named as a field of the key keeps its own name with the column's after it.
        while (t.FindField(f.name))
            f.name += "_" + column;
        if (attachments && ledrana::EqualsNoCase(fc.name, "FileData"))
            fileData = static_cast<int>(t.fields.size());
        t.fields.push_back(std::move(f));
        source.push_back(static_cast<int>(i));
    }
    c.Ddl([&] { CreateTable(c, t); });
    const std::string madeName = c.catalog.FindTable(t.name)->name;
    std::int64_t values = 0, orphans = 0, undecoded = 0;
    std::vector<std::string> tooLong;
    InOneTransaction(c, madeName, [&] {
        const TableState& made = *c.catalog.FindTable(madeName);
        sqlite3_stmt* ins = c.Prepare(InsertSql(made));
        file.ForEachRow(cp.flatTable, [&](const std::vector<Value>& row) {
            const auto owner = cp.owners.find(row[reference].i);
            if (owner == cp.owners.end()) ++orphans;
            for (std::size_t i = 0; i < made.fields.size(); ++i) {
                Variant stored;
                if (source[i] < 0) {
                    if (owner != cp.owners.end()) stored = ToStorage(owner->second[i], made.fields[i]);
                } else if (static_cast<int>(i) == fileData && row[source[i]].kind == Value::Kind::Binary) {
                    std::optional<std::string> bytes = jet::AttachmentBytes(row[source[i]].s);
                    if (!bytes) ++undecoded;
                    stored = Variant::FromBinary(bytes ? *bytes : row[source[i]].s);
                } else {
                    stored = Stored(row[source[i]], made.fields[i], made.name, report.notes, tooLong);
                }
                BindVariant(ins, static_cast<int>(i) + 1, stored);
            }
            Step(c, ins);
            ++values;
        });
    });
    IndexDef ix;
    ix.name = "Chiave";
    ix.fields = keyNames;
    ix.descending.assign(keyNames.size(), false);
    c.Ddl([&] { CreateIndex(c, madeName, ix); });
    std::string keyText;
    for (const auto& k : keyNames)
        keyText += (keyText.empty() ? "" : ", ") + k;
    const std::string what = attachments                               ? "allegati conservati"
                             : ledrana::EqualsNoCase(cp.field, column) ? "valori multipli conservati"
                                                                       : "versioni del testo conservate";
    report.notes.push_back("tabella " + info.name + ", campo " + cp.field + ": " + what + " nella tabella " +
                           madeName + " (" + std::to_string(values) +
                           " righe, una per valore, con la chiave della riga: " + keyText + ")");
    if (orphans > 0)
        report.notes.push_back("tabella " + madeName + ": " + std::to_string(orphans) +
                               " valori senza una riga della tabella " + info.name +
                               ", conservati con la chiave vuota");
    if (undecoded > 0)
        report.notes.push_back("tabella " + madeName + ": " + std::to_string(undecoded) +
                               " allegati in un formato sconosciuto, conservati come sono nel file");
    return values;
}

void CreateIndexes(Connection& c, const jet::TableInfo& info, const std::string& table,
                   std::vector<std::string>& notes) {
    for (const auto& x : info.indexes) {
        if (x.foreign) {
            notes.push_back("tabella " + table + ": indice di relazione " + x.name + " non convertito");
            continue;
        }
        IndexDef ix;
        ix.name = x.name;
        // A complex column's own index orders reference numbers that went with the column.
        bool ofComplexValues = false;
        for (const auto& [col, desc] : x.fields) {
            if (col < 0 || col >= static_cast<int>(info.columns.size())) continue;
            ofComplexValues =
                ofComplexValues || !c.catalog.FindTable(table)->FindField(info.columns[col].name);
            ix.fields.push_back(info.columns[col].name);
            ix.descending.push_back(desc);
        }
        if (ofComplexValues) continue;
        if (ix.fields.empty()) {
            notes.push_back("tabella " + table + ": indice " + x.name +
                            " senza campi leggibili, non convertito");
            continue;
        }
        ix.primary = x.primary;
        ix.unique = x.unique;
        ix.ignoreNulls = x.ignoreNulls;
        ix.required = x.required;
        try {
            c.Ddl([&] { CreateIndex(c, table, ix); });
        } catch (const Error& e) {
            // Kept as an ordinary index rather than lost.
            notes.push_back("tabella " + table + ": indice " + x.name + " creato senza univocità (" +
                            e.description() + ")");
            ix.primary = ix.unique = false;
            c.Ddl([&] { CreateIndex(c, table, ix); });
        }
    }
}

void CreateLinkedTable(Connection& c, const jet::LinkedTable& l, std::vector<std::string>& notes) {
    TableState t;
    t.name = l.name;
    t.attributes = dbAttachedTable;
    t.connect = l.connect;
    t.sourceTable = l.foreignName;
    try {
        c.Ddl([&] { CreateTable(c, t); });
    } catch (const Error& e) {
        // The linked file is not readable here: the link itself is kept, for when it is.
        notes.push_back("tabella collegata " + l.name + " (" + l.connect + "): origine non leggibile (" +
                        e.description() + "), collegamento conservato senza campi");
        c.Ddl([&] {
            SaveTableRow(c, t);
            c.catalog.tables.push_back(t);
            c.catalog.Sort();
        });
    }
}

void CreateQueries(const jet::File& file, Connection& c, JetImportReport& report) {
    std::vector<jet::SavedQuery> pending;
    std::vector<jet::SavedQuery> saved;
    {
        jet::File::Quiet quiet(file);
        saved = jet::ReadSavedQueries(static_cast<MdbHandle*>(file.handle()));
    }
    for (jet::SavedQuery& q : saved) {
        // Access's own queries behind forms and controls are not part of the database's program.
        if (q.access_internal) continue;
        if (q.sql.empty()) {
            report.notes.push_back("query " + q.name + ": non convertita (" + q.note + ")");
            continue;
        }
        pending.push_back(std::move(q));
    }
    // A query may name another one: those that fail are tried again after the others, then kept unchecked.
    for (int pass = 0; pass < 3 && !pending.empty(); ++pass) {
        std::vector<jet::SavedQuery> failed;
        for (auto& q : pending) {
            try {
                if (pass < 2) {
                    c.Ddl([&] { CreateQuery(c, q.name, q.sql); });
                } else {
                    c.Ddl([&] {
                        CreateQuery(c, q.name, "");
                        sqlite3_stmt* s = c.Prepare("UPDATE MSysQueries SET SQL=? WHERE Name=?");
                        sqlite3_bind_text(s, 1, q.sql.data(), static_cast<int>(q.sql.size()),
                                          SQLITE_TRANSIENT);
                        sqlite3_bind_text(s, 2, q.name.data(), static_cast<int>(q.name.size()),
                                          SQLITE_TRANSIENT);
                        Step(c, s);
                        c.catalog.FindQuery(q.name)->sql = q.sql;
                    });
                    report.notes.push_back("query " + q.name +
                                           ": conservata, ma non ancora eseguibile da questo motore");
                }
                if (!q.note.empty()) report.notes.push_back("query " + q.name + ": " + q.note);
                ++report.queries;
            } catch (const Error&) {
                failed.push_back(std::move(q));
            }
        }
        pending = std::move(failed);
    }
}

} // namespace

std::string JetFilePassword(const std::string& source) {
    std::string page = platform::ReadFileStart(platform::WindowsPath(source), 4096);
    std::optional<jet::Header> h = jet::ParseHeader(page);
    if (!h) return {};
    page.resize(std::min(page.size(), h->pageSize));
    jet::DatabasePassword pwd =
        jet::DecodeDatabasePassword(reinterpret_cast<const unsigned char*>(page.data()), page.size());
    if (pwd.encrypted)
        throw Error(3031, "Password non valida: il database '" + source +
                              "' è cifrato e non può essere letto da questo programma.");
    return pwd.password;
}

namespace detail {

JetImportReport ImportHere(ArchiveEngine& engine, const std::string& source, const std::string& destination,
                           const std::string& shownName, const std::function<void()>& opened) {
    jet::File file(source, shownName);
    JetImportReport report;
    const std::string password = JetFilePassword(source);
    report.password = !password.empty();
    auto db = engine.CreateDatabase(destination, password.empty() ? std::string() : ";pwd=" + password);
    try {
        Connection& c = db->C();
        // The new file is not anybody's archive until it is checked and put in place (ReplaceFile puts it
        // on disk then): its many small commits need not each wait for the disk.
        c.Exec("PRAGMA synchronous=OFF");
        c.Exec("PRAGMA journal_mode=MEMORY");
        if (opened) opened();
        const std::vector<std::string> fileTables = file.LocalTables();
        for (const std::string& name : fileTables) {
            jet::TableInfo info = file.ReadTable(name);
            TablePlan plan = PlanTable(file, c, info, fileTables, report.notes);
            TableState& t = plan.t;
            if (t.fields.empty()) {
                report.notes.push_back("tabella " + t.name + ": senza campi, non convertita");
                continue;
            }
            c.Ddl([&] { CreateTable(c, t); });
            std::int64_t rows = CopyRows(file, c, t.name, plan, name, report);
            // The count in the definition is the engine's hint, not a promise: the rows are what the
            // pages hold.
            if (rows != info.declaredRows)
                report.notes.push_back("tabella " + t.name + ": la definizione dichiara " +
                                       std::to_string(info.declaredRows) + " righe, convertite le " +
                                       std::to_string(rows) + " che le sue pagine contengono");
            CreateIndexes(c, info, t.name, report.notes);
            report.tables.push_back({t.name, rows});
            for (const ComplexPlan& cp : plan.complex) {
                const std::int64_t values = CopyComplexValues(file, c, info, plan, cp, report);
                if (values >= 0) report.tables.push_back({cp.name, values});
            }
        }
        for (const auto& l : file.LinkedTables())
            CreateLinkedTable(c, l, report.notes);
        CreateQueries(file, c, report);
        db->Close();
    } catch (...) {
        if (db->IsOpen()) {
            try {
                db->Close();
            } catch (const Error&) {
            }
        }
        try {
            platform::Kill(platform::WindowsPath(destination));
        } catch (const Error&) {
        }
        throw;
    }
    return report;
}

} // namespace detail

} // namespace ledrana::dao
