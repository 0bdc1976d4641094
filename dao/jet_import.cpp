// Conversion of a Jet or ACE file into one of our archives: structure through the catalog, rows in one
// transaction per table, indexes after the rows, saved queries last.

#include "dao/jet_import.h"

#include "dao/internal.h"
#include "dao/jet_file.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include "dao/jet_password.h"
#include "dao/jet_queries.h"

#include <mdbtools.h>

#include <algorithm>

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
        f.type = dbText;
        f.size = 20;
        notes.push_back(where +
                        ": campo multivalore o allegato conservato come testo (numero del riferimento)");
        break;
    default:
        f.type = dbLongBinary;
        notes.push_back(where + ": tipo Jet " + std::to_string(c.jetType) + " conservato come dati binari");
        break;
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

// Copies the rows of one table in one transaction. Returns the rows written.
std::int64_t CopyRows(const jet::File& file, Connection& c, const TableState& t, const std::string& jetName,
                      std::vector<std::string>& notes) {
    std::string sql = "INSERT INTO " + QuoteName(t.name) + " VALUES(";
    for (std::size_t i = 0; i < t.fields.size(); ++i)
        sql += i ? ",?" : "?";
    sql += ")";
    c.Flush();
    c.Exec("BEGIN IMMEDIATE");
    std::int64_t written = 0;
    try {
        sqlite3_stmt* ins = c.Prepare(sql);
        bool tooLongNoted = false;
        file.ForEachRow(jetName, [&](const std::vector<Value>& row) {
            for (std::size_t i = 0; i < t.fields.size(); ++i) {
                const FieldDef& f = t.fields[i];
                Variant v = ToVariant(row[i], f);
                Variant stored;
                try {
                    stored = ToStorage(v, f);
                } catch (const Error&) {
                    // A value the field's rules refuse (text longer than its size) is kept whole.
                    stored = v;
                    if (!tooLongNoted)
                        notes.push_back("tabella " + t.name + ", campo " + f.name +
                                        ": valori più lunghi della dimensione del campo conservati interi");
                    tooLongNoted = true;
                }
                BindVariant(ins, static_cast<int>(i) + 1, stored);
            }
            Step(c, ins);
            ++written;
        });
        c.Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(c.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    c.ForgetCounters(t.name);
    ++c.writeGeneration;
    return written;
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
        for (const auto& [col, desc] : x.fields) {
            if (col < 0 || col >= static_cast<int>(info.columns.size())) continue;
            ix.fields.push_back(info.columns[col].name);
            ix.descending.push_back(desc);
        }
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
    for (jet::SavedQuery& q : jet::ReadSavedQueries(static_cast<MdbHandle*>(file.handle()))) {
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

JetImportReport ImportJetFile(DBEngine& engine, const std::string& source, const std::string& destination,
                              const std::string& shownName) {
    jet::File file(source, shownName);
    JetImportReport report;
    const std::string password = JetFilePassword(source);
    report.password = !password.empty();
    Database db = engine.CreateDatabase(destination, password.empty() ? std::string() : ";pwd=" + password);
    try {
        Connection& c = db.impl()->C();
        // The new file is not anybody's archive until it is checked and put in place (ReplaceFile puts it
        // on disk then): its many small commits need not each wait for the disk.
        c.Exec("PRAGMA synchronous=OFF");
        for (const std::string& name : file.LocalTables()) {
            jet::TableInfo info = file.ReadTable(name);
            TableState t;
            t.name = info.name;
            for (const auto& col : info.columns)
                t.fields.push_back(FieldFor(col, t.name, report.notes));
            for (const auto& [pname, value] : info.properties) {
                if (ledrana::EqualsNoCase(pname, "ValidationRule"))
                    t.validationRule = value;
                else if (ledrana::EqualsNoCase(pname, "ValidationText"))
                    t.validationText = value;
                else if (IsInternalProperty(pname))
                    continue;
                else if (IsBinaryProperty(value))
                    report.notes.push_back("tabella " + t.name + ": proprietà binaria " + pname +
                                           " non convertita");
                else
                    t.properties.push_back({pname, dbText, Variant(value)});
            }
            if (t.fields.empty()) {
                report.notes.push_back("tabella " + t.name + ": senza campi, non convertita");
                continue;
            }
            c.Ddl([&] { CreateTable(c, t); });
            const TableState& made = *c.catalog.FindTable(t.name);
            std::int64_t rows = CopyRows(file, c, made, name, report.notes);
            if (rows != info.declaredRows)
                file.Fail(3049, "la tabella " + name + " dichiara " + std::to_string(info.declaredRows) +
                                    " righe, " + std::to_string(rows) + " sono leggibili");
            CreateIndexes(c, info, t.name, report.notes);
            report.tables.push_back({t.name, rows});
        }
        for (const auto& l : file.LinkedTables())
            CreateLinkedTable(c, l, report.notes);
        CreateQueries(file, c, report);
        db.Close();
    } catch (...) {
        if (db.IsOpen()) {
            try {
                db.Close();
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

namespace {

// Converts the Jet file at `host` into an archive at `target` (host path) and checks the row count of every
// table in it. The partial target is removed on failure.
JetImportReport ConvertAndCheck(DBEngine& engine, const std::string& host, const std::string& target,
                                const std::string& shown, const std::string& password) {
    const std::string win = platform::WindowsPath(target);
    // Left by a conversion that was cut short (its journal too: SQLite would replay it into the new file).
    for (const std::string& left : {win + "-journal", win})
        if (platform::FileExists(left)) platform::Kill(left);
    JetImportReport report = ImportJetFile(engine, host, target, shown);
    try {
        Database db = engine.OpenDatabase(target, false, true, ";pwd=" + password);
        for (const auto& t : report.tables) {
            const std::int64_t n = db.TableDefs()[t.name].RecordCount();
            if (n != t.rows)
                throw Error(3049, "Il database '" + shown + "' non è stato convertito: la tabella " + t.name +
                                      " ha " + std::to_string(n) + " righe invece di " +
                                      std::to_string(t.rows) + ".");
        }
        db.Close();
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
    return s;
}

} // namespace

EngineShared::~EngineShared() {
    for (const auto& [jet, copy] : jetCopies) {
        try {
            platform::Kill(platform::WindowsPath(copy));
        } catch (const Error&) {
        }
    }
    if (!jetCopyFolder.empty()) {
        try {
            platform::RmDir(platform::WindowsPath(jetCopyFolder));
        } catch (const Error&) {
        }
    }
}

namespace detail {

std::string OpenableArchive(DBEngine& engine, EngineShared& shared, const std::string& host,
                            const std::string& shown, const std::string& password, bool readOnly) {
    if (auto it = shared.open.find(host); it != shared.open.end() && !it->second.expired()) return host;
    if (!jet::LooksLikeJetFile(host)) return host;
    const std::string jetPassword = JetFilePassword(host);
    if (!jetPassword.empty() && jetPassword != password) ThrowJet(3031);
    if (auto it = shared.jetCopies.find(host); it != shared.jetCopies.end()) return it->second;

    const std::string win = platform::WindowsPath(host);
    bool inPlace = !readOnly && (platform::GetAttr(win) & platform::vbReadOnly) == 0;
    if (inPlace) {
        const std::string work = host + ".conversione";
        try {
            JetImportReport report = ConvertAndCheck(engine, host, work, shown, password);
            // The original keeps its bytes under a name of its own before the archive takes its place, so
            // that at every moment one of the two stands under the original name with the other beside it.
            std::string keep = host + ".jet";
            for (int n = 2; platform::FileExists(platform::WindowsPath(keep)) ||
                            platform::FolderExists(platform::WindowsPath(keep));
                 ++n)
                keep = host + ".jet" + std::to_string(n);
            try {
                platform::FileCopy(win, platform::WindowsPath(keep));
                platform::ReplaceFile(platform::WindowsPath(work), win);
            } catch (...) {
                platform::Kill(platform::WindowsPath(work));
                throw;
            }
            shared.conversionNotices.push_back("archivio " + shown +
                                               " convertito dal formato Jet; l'originale è conservato in " +
                                               platform::WindowsPath(keep) + " (" + Summary(report) + ")");
            return host;
        } catch (const Error& e) {
            // A folder we may not write into: the file is read through a temporary copy instead.
            if (e.number() != 3051 && e.number() != 70 && e.number() != 75 && e.number() != 3044) throw;
        }
    }
    if (shared.jetCopyFolder.empty()) shared.jetCopyFolder = platform::MakeTempFolder();
    const std::string copy =
        shared.jetCopyFolder + "/" + std::to_string(shared.jetCopies.size() + 1) + ".mdb";
    JetImportReport report = ConvertAndCheck(engine, host, copy, shown, password);
    shared.jetCopies.emplace(host, copy);
    shared.conversionNotices.push_back(
        "archivio " + shown +
        " in formato Jet letto da una copia convertita temporanea (il file resta "
        "com'è) (" +
        Summary(report) + ")");
    return copy;
}

} // namespace detail

} // namespace ledrana::dao
