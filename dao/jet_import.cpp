// Conversion of a Jet or ACE file into one of our archives: structure through the catalog, rows in one
// transaction per table, indexes after the rows, saved queries last.

#include "dao/jet_import.h"

#include "dao/internal.h"
#include "dao/jet_file.h"
#include "platform/child.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include "dao/jet_password.h"
#include "dao/jet_queries.h"

#include <mdbtools.h>

#include <algorithm>
#include <chrono>
#include <cstring>
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
        f.type = dbText;
        f.size = std::clamp(c.precision + 2, 1, 255);
        notes.push_back(where + ": Decimal(" + std::to_string(c.precision) + "," + std::to_string(c.scale) +
                        ") conservato come testo con il valore esatto");
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

namespace {

// The conversion itself, in the process that calls it.
JetImportReport ImportHere(DBEngine& engine, const std::string& source, const std::string& destination,
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
std::string ReadInChild(DBEngine& engine, const std::string& source, const std::string& destination,
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

JetImportReport ImportJetFile(DBEngine& engine, const std::string& source, const std::string& destination,
                              const std::string& shownName) {
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
    const std::string stale = CheckNotInUse(host, shown);
    const std::string staleNote = stale.empty() ? "" : "; " + stale;

    const std::string win = platform::WindowsPath(host);
    bool inPlace = !readOnly && platform::CanReplace(host);
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
            shared.conversionNotices.push_back(
                "archivio " + shown + " convertito dal formato Jet; l'originale è conservato in " +
                platform::WindowsPath(keep) + staleNote + " (" + Summary(report) + ")");
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
