// Conversion of a Jet or ACE file into one of our archives: structure through the catalog, rows in one
// transaction per table, indexes after the rows, saved queries last.

#include "dao/jet/jet_import.h"

#include "dao/jet/jet_file.h"
#include "dao/store/internal.h"
#include "platform/child.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/newfile.h"
#include "platform/paths.h"
#include "platform/text.h"

#include "dao/jet/jet_password.h"
#include "dao/jet/jet_queries.h"

#include <mdbtools.h>

#include <algorithm>
#include <chrono>
#include <cstring>
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

// Runs `fill` in one transaction, then lets the archive know the table changed.
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
std::int64_t CopyRows(const jet::File& file, Connection& c, const TableState& t, TablePlan& plan,
                      const std::string& jetName, JetImportReport& report) {
    std::int64_t written = 0;
    std::vector<std::string> tooLong;
    InOneTransaction(c, t.name, [&] {
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
    const TableState& made = *c.catalog.FindTable(t.name);
    std::int64_t values = 0, orphans = 0, undecoded = 0;
    std::vector<std::string> tooLong;
    InOneTransaction(c, made.name, [&] {
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
    c.Ddl([&] { CreateIndex(c, made.name, ix); });
    std::string keyText;
    for (const auto& k : keyNames)
        keyText += (keyText.empty() ? "" : ", ") + k;
    const std::string what = attachments                               ? "allegati conservati"
                             : ledrana::EqualsNoCase(cp.field, column) ? "valori multipli conservati"
                                                                       : "versioni del testo conservate";
    report.notes.push_back("tabella " + info.name + ", campo " + cp.field + ": " + what + " nella tabella " +
                           made.name + " (" + std::to_string(values) +
                           " righe, una per valore, con la chiave della riga: " + keyText + ")");
    if (orphans > 0)
        report.notes.push_back("tabella " + made.name + ": " + std::to_string(orphans) +
                               " valori senza una riga della tabella " + info.name +
                               ", conservati con la chiave vuota");
    if (undecoded > 0)
        report.notes.push_back("tabella " + made.name + ": " + std::to_string(undecoded) +
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
            ++c.catalogGeneration;
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

namespace {

// The conversion itself, in the process that calls it.
JetImportReport ImportHere(ArchiveEngine& engine, const std::string& source, const std::string& destination,
                           const std::string& shownName) {
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
            const TableState& made = *c.catalog.FindTable(t.name);
            std::int64_t rows = CopyRows(file, c, made, plan, name, report);
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

// ---- The reader's own process -----------------------------------------------------------------------------
//
// libmdb trusts the page pointers of the file it reads: a damaged file can make it read outside its buffers
// and die, or follow a page chain for ever. The conversion therefore runs in a child process, which writes
// the new archive and sends back its report (or the error it ended with); the caller only ever sees a report
// or an error with Jet's number.

// How long the reader may take over a file of `bytes`: far beyond what a sound file needs on a slow share.
std::chrono::seconds ReaderTimeLimit(std::int64_t bytes) {
    return std::chrono::seconds(30 + bytes / (1 << 20));
}

// The reader's answer on its pipe: 'R' and the report, or 'E', the error's number and description.
class Message {
public:
    Message() = default;
    explicit Message(std::string bytes) : bytes_(std::move(bytes)) {}
    const std::string& bytes() const { return bytes_; }

    void PutInt(std::int64_t v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void PutText(const std::string& t) {
        PutInt(static_cast<std::int64_t>(t.size()));
        bytes_ += t;
    }
    std::int64_t Int() {
        std::int64_t v = 0;
        if (!Has(sizeof v)) return 0;
        std::memcpy(&v, bytes_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::string Text() {
        const std::int64_t n = Int();
        if (n < 0 || !Has(static_cast<std::size_t>(n))) return {};
        std::string t = bytes_.substr(at_, static_cast<std::size_t>(n));
        at_ += static_cast<std::size_t>(n);
        return t;
    }
    // True when everything read so far was there and nothing is left.
    bool Whole() const { return ok_ && at_ == bytes_.size(); }

private:
    bool Has(std::size_t n) {
        ok_ = ok_ && bytes_.size() - at_ >= n;
        return ok_;
    }
    std::string bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

Message ReportMessage(const JetImportReport& r) {
    Message m;
    m.PutInt('R');
    m.PutInt(static_cast<std::int64_t>(r.tables.size()));
    for (const auto& t : r.tables) {
        m.PutText(t.name);
        m.PutInt(t.rows);
    }
    m.PutInt(static_cast<std::int64_t>(r.notes.size()));
    for (const auto& n : r.notes)
        m.PutText(n);
    m.PutInt(static_cast<std::int64_t>(r.journal.size()));
    for (const auto& j : r.journal)
        for (const std::string* t : {&j.table, &j.key, &j.field, &j.text})
            m.PutText(*t);
    m.PutInt(r.queries);
    m.PutInt(r.password ? 1 : 0);
    return m;
}

Message ErrorMessage(int number, const std::string& description) {
    Message m;
    m.PutInt('E');
    m.PutInt(number);
    m.PutText(description);
    return m;
}

// The reader's work in its child process: the conversion, and its report or error as a message.
std::string ReadInChild(ArchiveEngine& engine, const std::string& source, const std::string& destination,
                        const std::string& shownName) {
    try {
        return ReportMessage(ImportHere(engine, source, destination, shownName)).bytes();
    } catch (const Error& e) {
        // What the archive being built refuses (a name, a definition) says nothing of the file it came from.
        return ErrorMessage(e.number(), e.description().find(shownName) != std::string::npos
                                            ? e.description()
                                            : "Il database '" + shownName +
                                                  "' non è stato convertito: " + e.description())
            .bytes();
    } catch (const std::exception& e) {
        return ErrorMessage(3049, "Il database '" + shownName +
                                      "' è danneggiato: la lettura si è interrotta (" + e.what() + ").")
            .bytes();
    }
}

// Removes a file that may not be there.
void RemoveIfPresent(const std::string& host) {
    const std::string win = platform::WindowsPath(host);
    try {
        if (platform::FileExists(win)) platform::Kill(win);
    } catch (const Error&) {
    }
}

} // namespace

JetImportReport ImportJetFile(ArchiveEngine& engine, const std::string& source,
                              const std::string& destination, const std::string& shownName) {
    std::int64_t size = 0;
    try {
        size = platform::FileLen(platform::WindowsPath(source));
    } catch (const Error&) {
        // Missing or unreadable: the reader says which, with Jet's number.
    }
    // Whatever stands at the destination after a reader that died is the reader's own.
    if (platform::FileExists(platform::WindowsPath(destination))) ThrowJet(3204, destination);
    const std::chrono::seconds limit = ReaderTimeLimit(size);
    const platform::ChildOutcome child =
        platform::RunInChild([&] { return ReadInChild(engine, source, destination, shownName); }, limit);
    using End = platform::ChildOutcome::End;
    if (child.end == End::NotStarted)
        throw Error(3035,
                    "Risorse di sistema esaurite: impossibile leggere il database '" + shownName + "'.");
    Message m(child.answer);
    const std::int64_t kind = m.Int();
    if (kind == 'R') {
        JetImportReport report;
        for (std::int64_t n = m.Int(); n > 0 && n <= (1 << 24); --n) {
            std::string name = m.Text();
            report.tables.push_back({std::move(name), m.Int()});
        }
        for (std::int64_t n = m.Int(); n > 0 && n <= (1 << 24); --n)
            report.notes.push_back(m.Text());
        for (std::int64_t n = m.Int(); n > 0 && n <= (1 << 24); --n) {
            JetImportReport::JournalEntry j;
            for (std::string* t : {&j.table, &j.key, &j.field, &j.text})
                *t = m.Text();
            report.journal.push_back(std::move(j));
        }
        report.queries = static_cast<int>(m.Int());
        report.password = m.Int() != 0;
        if (m.Whole()) return report;
    } else if (kind == 'E') {
        // The reader has removed what it wrote.
        const int number = static_cast<int>(m.Int());
        std::string description = m.Text();
        if (m.Whole()) throw Error(number, description);
    }
    // A reader that died or was stopped left its work file, and the journal of its last transaction.
    if (platform::FileExists(platform::WindowsPath(destination))) {
        RemoveIfPresent(destination + "-journal");
        RemoveIfPresent(destination);
    }
    const std::string what = child.end == End::TimedOut ? "la lettura non è terminata entro " +
                                                              std::to_string(limit.count()) + " secondi"
                             : child.end == End::Signalled
                                 ? "la lettura si è interrotta (segnale " + std::to_string(child.signal) + ")"
                                 : std::string("la lettura si è interrotta senza una risposta completa");
    throw Error(3049, "Il database '" + shownName + "' è danneggiato: " + what + ".");
}

namespace {

// Converts the Jet file at `host` into an archive at `target` (host path) and checks the row count of every
// table in it. The partial target is removed on failure.
JetImportReport ConvertAndCheck(ArchiveEngine& engine, const std::string& host, const std::string& target,
                                const std::string& shown, const std::string& password) {
    const std::string win = platform::WindowsPath(target);
    // Left by a conversion that was cut short (its journal too: SQLite would replay it into the new file).
    for (const std::string& left : {win + "-journal", win}) {
        platform::RemoveLink(left);
        if (platform::FileExists(left)) platform::Kill(left);
    }
    JetImportReport report = [&] {
        platform::PrivateNewFiles privateUntilOwned;
        return ImportJetFile(engine, host, target, shown);
    }();
    try {
        auto db = engine.OpenDatabase(target, ";pwd=" + password);
        for (const auto& t : report.tables) {
            const std::int64_t n = db->RecordCount(t.name);
            if (n != t.rows)
                throw Error(3049, "Il database '" + shown + "' non è stato convertito: la tabella " + t.name +
                                      " ha " + std::to_string(n) + " righe invece di " +
                                      std::to_string(t.rows) + ".");
        }
        db->Close();
    } catch (...) {
        platform::Kill(win);
        throw;
    }
    return report;
}

std::string Summary(const JetImportReport& r) {
    std::int64_t rows = 0;
    for (const auto& t : r.tables)
        rows += t.rows;
    std::string s = std::to_string(r.tables.size()) + " tabelle, " + std::to_string(rows) + " righe, " +
                    std::to_string(r.queries) + " query";
    for (const auto& n : r.notes)
        s += "\n  " + n;
    for (const auto& j : r.journal)
        s +=
            "\n  tabella " + j.table + ", riga " + j.key + ", campo " + j.field + ": valore esatto " + j.text;
    return s;
}

// ---- Jet files in use elsewhere -------------------------------------------------------------------------
//
// Jet keeps beside a database opened in shared mode a lock file named after it (NAME.ldb, NAME.laccdb for
// an ACE file): 255 slots of 64 bytes, the computer name in the first 32 bytes of a slot and the user in
// the next 32. Whoever has the database open holds byte-range locks on that file and on the database; a
// share mounted from a Windows server shows the locks of its Windows clients. A lock file that nobody
// holds was left by a crash.

constexpr std::size_t kLockSlot = 64;
constexpr std::size_t kLockSlots = 255;

struct LockFile {
    std::string name;                // as it stands in the folder
    std::vector<std::string> owners; // "COMPUTER (utente USER)", once each, in the file's order
};

std::string ParentFolder(const std::string& host) {
    const auto slash = host.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : host.substr(0, slash);
}

// The text of one NUL-padded name field of a slot.
std::string SlotText(std::string_view field) {
    field = field.substr(0, field.find('\0'));
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
        field.remove_suffix(1);
    return ledrana::Cp1252ToUtf8(field);
}

// Jet's lock file beside the database at `host` (its name in any letter case); nullopt when there is none.
std::optional<LockFile> FindLockFile(const std::string& host) {
    const std::string folder = platform::WindowsPath(ParentFolder(host));
    std::string stem = host.substr(host.find_last_of('/') + 1);
    const auto dot = stem.find_last_of('.');
    const std::string extension = dot == std::string::npos ? "" : stem.substr(dot);
    if (dot != std::string::npos) stem.resize(dot);
    const bool ace = ledrana::EqualsNoCase(extension, ".accdb") || ledrana::EqualsNoCase(extension, ".accde");
    const std::string wanted = stem + (ace ? ".laccdb" : ".ldb");
    std::vector<std::string> found;
    try {
        found = platform::ListFiles(folder, wanted);
    } catch (const Error&) {
    }
    const auto name = std::find_if(found.begin(), found.end(),
                                   [&](const std::string& n) { return ledrana::EqualsNoCase(n, wanted); });
    if (name == found.end()) return std::nullopt;
    LockFile lock;
    lock.name = *name;
    std::string bytes;
    try {
        bytes = platform::ReadFileStart(folder + "\\" + lock.name, kLockSlot * kLockSlots);
    } catch (const Error&) {
    }
    for (std::size_t at = 0; at + kLockSlot <= bytes.size(); at += kLockSlot) {
        const std::string_view slot = std::string_view(bytes).substr(at, kLockSlot);
        const std::string computer = SlotText(slot.substr(0, kLockSlot / 2));
        const std::string user = SlotText(slot.substr(kLockSlot / 2));
        if (computer.empty()) continue;
        const std::string owner = computer + (user.empty() ? "" : " (utente " + user + ")");
        if (std::find(lock.owners.begin(), lock.owners.end(), owner) == lock.owners.end())
            lock.owners.push_back(owner);
    }
    return lock;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& i : items)
        out += (out.empty() ? "" : ", ") + i;
    return out;
}

// Refuses (3045, naming the computers of its lock file) a Jet file that someone else has open: a lock held on
// it or on its lock file. Returns what the conversion's notice says of a lock file nobody holds ("" when
// there is none).
std::string CheckNotInUse(const std::string& host, const std::string& shown) {
    const std::optional<LockFile> lock = FindLockFile(host);
    const bool held = platform::AnyLockElsewhere(host) ||
                      (lock && platform::AnyLockElsewhere(ParentFolder(host) + "/" + lock->name));
    if (held) {
        std::string text = JetErrorText(3045, shown);
        if (lock && !lock->owners.empty()) {
            // After "...in uso da un altro utente o processo": who, as the lock file tells.
            const auto end = text.find(". ", text.find(shown) + shown.size());
            text.insert(end == std::string::npos ? text.size() : end,
                        " (aperto su " + Joined(lock->owners) + ")");
        }
        throw Error(3045, text);
    }
    if (!lock) return {};
    return "il file di blocco " + lock->name + " di Jet" +
           (lock->owners.empty() ? "" : " (" + Joined(lock->owners) + ")") +
           " non è tenuto da nessuno: resta da una chiusura non regolare, non impediva la conversione ed è "
           "lasciato com'è";
}

} // namespace

namespace detail {

void RemoveJetCopies(const std::map<std::string, std::string>& copies, const std::string& folder) {
    for (const auto& [jet, copy] : copies) {
        try {
            platform::Kill(platform::WindowsPath(copy));
        } catch (const Error&) {
        }
    }
    if (!folder.empty()) {
        try {
            platform::RmDir(platform::WindowsPath(folder));
        } catch (const Error&) {
        }
    }
}

std::string OpenableArchive(ArchiveEngine& engine, const std::string& host, const std::string& shown,
                            const std::string& password, bool readOnly) {
    if (engine.IsOpen(host)) return host;
    if (!jet::LooksLikeJetFile(host)) return host;
    const std::string jetPassword = JetFilePassword(host);
    if (!jetPassword.empty() && jetPassword != password) ThrowJet(3031);
    std::map<std::string, std::string>& jetCopies = engine.JetCopies();
    if (auto it = jetCopies.find(host); it != jetCopies.end()) return it->second;
    const std::string stale = CheckNotInUse(host, shown);
    const std::string staleNote = stale.empty() ? "" : "; " + stale;

    const std::string win = platform::WindowsPath(host);
    bool inPlace = !readOnly && platform::CanReplace(host);
    if (inPlace) {
        const std::string work = host + ".conversione";
        try {
            JetImportReport report = ConvertAndCheck(engine, host, work, shown, password);
            // A computer that opened the file while it was being read would write into the original.
            try {
                CheckNotInUse(host, shown);
            } catch (const Error&) {
                platform::Kill(platform::WindowsPath(work));
                throw;
            }
            // The original keeps its bytes under a name of its own before the archive takes its place, so
            // that at every moment one of the two stands under the original name with the other beside it.
            // Both take the original's owner and mode.
            std::string keep;
            try {
                platform::TakeOwnershipFrom(win, platform::WindowsPath(work));
                keep = platform::CopyToFreeName(win, platform::WindowsPath(host + ".jet"));
                platform::ReplaceFile(platform::WindowsPath(work), win);
            } catch (...) {
                platform::Kill(platform::WindowsPath(work));
                throw;
            }
            engine.ConversionNotices().push_back("archivio " + shown +
                                                 " convertito dal formato Jet; l'originale è conservato in " +
                                                 keep + staleNote + " (" + Summary(report) + ")");
            return host;
        } catch (const Error& e) {
            // A folder we may not write into: the file is read through a temporary copy instead.
            if (e.number() != 3051 && e.number() != 70 && e.number() != 75 && e.number() != 3044) throw;
        }
    }
    std::string& jetCopyFolder = engine.JetCopyFolder();
    if (jetCopyFolder.empty()) jetCopyFolder = platform::MakeTempFolder();
    const std::string copy = jetCopyFolder + "/" + std::to_string(jetCopies.size() + 1) + ".mdb";
    JetImportReport report = ConvertAndCheck(engine, host, copy, shown, password);
    jetCopies.emplace(host, copy);
    engine.ConversionNotices().push_back(
        "archivio " + shown +
        " in formato Jet letto da una copia convertita temporanea (il file resta "
        "com'è)" +
        staleNote + " (" + Summary(report) + ")");
    return copy;
}

void CheckArchiveForChange(const std::string& host, const std::string& shown) {
    if (jet::LooksLikeJetFile(host)) CheckNotInUse(host, shown);
    if (!platform::CanReplace(host)) ThrowJet(3051, shown);
}

} // namespace detail

} // namespace ledrana::dao
