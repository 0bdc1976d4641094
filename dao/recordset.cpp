// Recordsets: opening one on a table, a query or a Jet SQL text, and the Recordset handle (the cursor in
// recordset_cursor.cpp, the edit buffer in recordset_edit.cpp).

#include "dao/recordset_impl.h"
#include "dao/sql/jetsql.h"
#include "dao/store/query_texts.h"
#include "platform/vb_errors.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>

namespace ledrana::dao {

using namespace detail;

namespace detail {

namespace {

// True when an upper-cased word occurs in SQL text outside string literals and quoted names.
bool HasWordOutsideQuotes(std::string_view sql, std::string_view word) {
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"' || c == '[' || c == '`') {
            quote = c == '[' ? ']' : c;
            continue;
        }
        if ((i == 0 || !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_')) &&
            StartsWithWord(sql.substr(i), word))
            return true;
    }
    return false;
}

int TypeOfStorage(int storageClass) {
    switch (storageClass) {
    case SQLITE_INTEGER:
        return dbLong;
    case SQLITE_FLOAT:
        return dbDouble;
    case SQLITE_BLOB:
        return dbLongBinary;
    default:
        return dbText;
    }
}

// The Field objects of the columns are made when first asked for (RecordsetField).
void MakeFieldObjects(const std::shared_ptr<RecordsetImpl>& rs) {
    rs->fieldObjs.assign(rs->cols.size(), nullptr);
}

} // namespace

std::shared_ptr<FieldImpl> RecordsetField(const std::shared_ptr<RecordsetImpl>& rs, std::size_t i) {
    std::shared_ptr<FieldImpl>& f = rs->fieldObjs[i];
    if (!f) {
        f = std::make_shared<FieldImpl>();
        f->mode = FieldImpl::Mode::Recordset;
        f->rsWeak = rs;
        f->rsRaw = rs.get();
        f->column = static_cast<int>(i);
        f->appended = true;
        f->def.name = rs->cols[i].def.name;
    }
    return f;
}

void DatabaseImpl::AddRecordset(const std::shared_ptr<RecordsetImpl>& rs) {
    // Recordsets closed or gone leave the list now and then, so that a walk opening one recordset per row
    // does not keep them all.
    if (recordsets.size() >= pruneAt) {
        recordsets.erase(std::remove_if(recordsets.begin(), recordsets.end(),
                                        [](const std::weak_ptr<RecordsetImpl>& w) {
                                            auto r = w.lock();
                                            return !r || !r->open;
                                        }),
                         recordsets.end());
        pruneAt = std::max<std::size_t>(64, 2 * recordsets.size());
    }
    recordsets.push_back(rs);
}

namespace {

// A recordset on the rows of a table given in a statement: updatable when the statement reads one table of
// this file (then its rowid comes along as column 0).
std::shared_ptr<RecordsetImpl> OpenStatementRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                      std::string source, JetStatement& st,
                                                      const std::vector<Variant>* values);

// A recordset on a table of the catalog: table-type (a dynaset for an attached table) or, when the caller
// asks for one, a dynaset or a snapshot of its rows. No SQL text is written with the table's name.
std::shared_ptr<RecordsetImpl> OpenTableRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                  std::string_view source, const std::string table,
                                                  int type) {
    Connection& c = db->C();
    if (type == dbOpenDynaset || type == dbOpenSnapshot || type == dbOpenForwardOnly) {
        JetStatement st;
        st.kind = JetStatement::Kind::Select;
        st.sql = "SELECT * FROM " + QuoteName(table);
        st.sources = {table};
        st.updatable = type == dbOpenDynaset;
        return OpenStatementRecordset(db, std::string(source), st, nullptr);
    }
    TableState* t = c.catalog.FindTable(table);
    auto rs = std::make_shared<RecordsetImpl>();
    rs->db = db;
    rs->source = std::string(source);
    rs->type = t->IsAttached() ? dbOpenDynaset : dbOpenTable;
    rs->baseTable = t->name;
    rs->dataName = c.DataName(*t);
    t = c.catalog.FindTable(
        table); // attaching a file commits grouped writes, which may read the catalog anew
    if (!t) ThrowJet(3078, table);
    rs->updatable = !t->IsSystem() && !c.readOnly;
    rs->selectCols = "rowid";
    for (std::size_t i = 0; i < t->fields.size(); ++i) {
        RsColumn col;
        col.def = t->fields[i];
        col.baseField = static_cast<int>(i);
        col.sourceTable = t->name;
        col.sourceField = t->fields[i].name;
        if (col.def.IsCounter()) rs->counterCol = static_cast<int>(i);
        rs->cols.push_back(std::move(col));
        rs->selectCols += ", " + QuoteName(t->fields[i].name);
    }
    rs->tableGeneration = c.TableGeneration(t->name);
    MakeFieldObjects(rs);
    db->AddRecordset(rs);
    rs->Start();
    return rs;
}

} // namespace

std::shared_ptr<RecordsetImpl> OpenRecordsetImpl(const std::shared_ptr<DatabaseImpl>& db,
                                                 std::string_view source, int type) {
    Connection& c = db->C();
    std::string_view name = TrimSql(source);
    // A name is looked up as given first: a table's name may end with a blank or a semicolon.
    const TableState* t = c.catalog.FindTable(source);
    if (!t) t = c.catalog.FindTable(name);
    if (t) return OpenTableRecordset(db, source, t->name, type);
    const QueryState* q = c.catalog.FindQuery(source);
    if (!q) q = c.catalog.FindQuery(name);
    if (q) {
        std::string qname = q->name, sql = q->sql;
        return OpenQueryRecordset(db, qname, sql);
    }
    if (name.find(' ') == std::string_view::npos && name.find('\n') == std::string_view::npos &&
        !name.empty() && !StartsWithWord(name, "SELECT") && !StartsWithWord(name, "TRANSFORM")) {
        ThrowJet(3078, name);
    }
    return OpenQueryRecordset(db, "", source);
}

std::shared_ptr<RecordsetImpl> OpenFieldsRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                   const std::string& table,
                                                   const std::vector<std::string>& fields, int type) {
    if (type != dbOpenDynaset && type != dbOpenSnapshot && type != dbOpenForwardOnly) ThrowJet(3001);
    const TableState* t = db->C().catalog.FindTable(table);
    if (!t || t->IsAttached()) ThrowJet(3219);
    JetStatement st;
    st.kind = JetStatement::Kind::Select;
    std::vector<std::string> named;
    for (const std::string& name : fields) {
        const FieldDef* f = t->FindField(name);
        if (!f) ThrowJet(3265, name);
        if (std::any_of(named.begin(), named.end(),
                        [&](const std::string& n) { return SameName(n, f->name); }))
            continue;
        named.push_back(f->name);
        st.sql += (st.sql.empty() ? "SELECT " : ", ") + QuoteName(f->name);
    }
    if (named.empty()) ThrowJet(3001);
    // In the table's order, as a walk of the whole table goes, even where an index holds every field read.
    // Only fields are named: the columns of deleted fields need no hiding.
    st.sql += " FROM " + QuoteName(t->name) + " ORDER BY _rowid_";
    st.updatable = type == dbOpenDynaset;
    return OpenStatementRecordset(db, t->name, st, nullptr);
}

std::shared_ptr<RecordsetImpl> OpenQueryRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                  std::string_view name, std::string_view jetSql,
                                                  const std::vector<Variant>* values) {
    Connection& c = db->C();
    JetStatement st = TranslateQuery(c, jetSql);
    CheckParameters(st, values);
    if (st.kind == JetStatement::Kind::Crosstab) {
        ResolveCrosstab(c, st);
    }
    if (st.kind != JetStatement::Kind::Select) ThrowJet(3219);
    return OpenStatementRecordset(db, name.empty() ? std::string(jetSql) : std::string(name), st, values);
}

namespace {

std::shared_ptr<RecordsetImpl> OpenStatementRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                      std::string source, JetStatement& st,
                                                      const std::vector<Variant>* values) {
    Connection& c = db->C();
    auto rs = std::make_shared<RecordsetImpl>();
    rs->db = db;
    rs->source = std::move(source);
    rs->type = dbOpenDynaset;
    rs->sql = st.sql;

    // Updatable when it reads the rows of one table: then the rowid comes along as column 0.
    std::string_view body = TrimSql(st.sql);
    // A query with parameters gets a statement of its own, its values bound.
    if (!st.parameters.empty()) {
        rs->query = c.PrepareJet(st.sql);
        BindParameters(c, rs->query.get(), st, values);
    }
    bool candidate = !rs->query && st.updatable && StartsWithWord(body, "SELECT") &&
                     !HasWordOutsideQuotes(body, "DISTINCT") && !HasWordOutsideQuotes(body, "GROUP") &&
                     !HasWordOutsideQuotes(body, "UNION") && !HasWordOutsideQuotes(body, "JOIN") &&
                     !c.readOnly;
    if (candidate) {
        std::string keyed = "SELECT _rowid_ AS \"__rowid\", " + std::string(body.substr(6));
        sqlite3_stmt* raw = nullptr;
        // Created on demand by PrepareJet for views; a plain prepare tells whether the rowid is there.
        try {
            std::string key;
            Stmt probe = PooledQuery(c, keyed, key);
            raw = probe.get();
            const char* table0 = sqlite3_column_table_name(raw, 0);
            std::string table;
            bool ok = table0 != nullptr;
            if (ok) table = table0;
            int n = sqlite3_column_count(raw);
            for (int i = 1; ok && i < n; ++i) {
                const char* t = sqlite3_column_table_name(raw, i);
                if (!t || table != t) ok = false;
            }
            const char* db0 = sqlite3_column_database_name(raw, 0);
            TableState* base = ok ? c.catalog.FindTable(table) : nullptr;
            if (ok && base && !base->IsSystem() && db0 && std::string(db0) == "main" && !base->IsAttached()) {
                rs->hasRowid = true;
                rs->updatable = true;
                rs->baseTable = base->name;
                rs->dataName = QuoteName(base->name);
                rs->query = std::move(probe);
                rs->pooledSql = key;
            } else {
                c.GiveBackQuery(key, std::move(probe));
            }
        } catch (const Error&) {
        }
    }
    if (!rs->query) {
        rs->sql = WithoutHiddenColumns(c, st.sources, st.sql);
        rs->query = PooledQuery(c, rs->sql, rs->pooledSql);
    }
    sqlite3_stmt* q = rs->query.get();
    int off = rs->hasRowid ? 1 : 0;
    int n = sqlite3_column_count(q);
    const TableState* base = rs->updatable ? c.catalog.FindTable(rs->baseTable) : nullptr;
    // The columns mostly come from one table, and those of "SELECT *" in the table's order: the look-ups
    // try the previous table and the field at the column's position first.
    std::string lastTable;
    const TableState* lastOrigin = nullptr;
    bool queryTypesRead = false;
    for (int i = off; i < n; ++i) {
        RsColumn col;
        col.def.name = sqlite3_column_name(q, i) ? sqlite3_column_name(q, i) : "";
        const char* ot = sqlite3_column_table_name(q, i);
        const char* oc = sqlite3_column_origin_name(q, i);
        const TableState* origin = nullptr;
        if (ot) {
            if (!lastOrigin || lastTable != ot) {
                lastTable = ot;
                lastOrigin = c.catalog.FindTable(ot);
            }
            origin = lastOrigin;
        }
        col.at = i;
        // The values of a deleted field, still in the rows until compaction, are not the recordset's.
        if (origin && oc && !origin->hidden.empty() && origin->Hides(oc)) continue;
        const FieldDef* f = nullptr;
        if (origin && oc) {
            const auto at = static_cast<std::size_t>(i - off);
            f = at < origin->fields.size() && origin->fields[at].name == oc ? &origin->fields[at]
                                                                            : origin->FindField(oc);
        }
        if (f) {
            std::string shown = col.def.name;
            col.def = *f;
            col.def.name = shown;
            col.sourceTable = origin->name;
            col.sourceField = f->name;
            if (base && origin == base) col.baseField = static_cast<int>(f - base->fields.data());
        } else {
            col.typed = false;
            col.def.type = dbText;
            col.def.size = 255;
            if (!queryTypesRead) {
                queryTypesRead = true;
                AddSavedQueryTypes(c, st);
            }
            for (const auto& [typedName, type] : st.columnTypes)
                if (SameName(typedName, col.def.name)) {
                    col.typed = true;
                    col.def.type = type;
                    col.def.size = DefaultSize(type);
                    break;
                }
        }
        if (col.baseField >= 0 && base && base->fields[static_cast<std::size_t>(col.baseField)].IsCounter())
            rs->counterCol = static_cast<int>(rs->cols.size());
        rs->cols.push_back(std::move(col));
    }
    if (base) rs->tableGeneration = c.TableGeneration(base->name);
    MakeFieldObjects(rs);
    db->AddRecordset(rs);
    rs->Start();
    // Columns that are expressions take the type of what they hold.
    if (!rs->eof)
        for (std::size_t i = 0; i < rs->cols.size(); ++i)
            if (!rs->cols[i].typed)
                rs->cols[i].def.type = TypeOfStorage(sqlite3_column_type(q, rs->cols[i].at));
    return rs;
}

} // namespace

} // namespace detail

// ---- Recordset handle ---------------------------------------------------------------------------------

namespace {
RecordsetImpl& R(const std::shared_ptr<RecordsetImpl>& p) {
    if (!p) throw VbError(91);
    p->CheckOpen();
    return *p;
}
} // namespace

bool Recordset::Eof() const {
    return R(impl_).eof;
}
bool Recordset::Bof() const {
    return R(impl_).bof;
}
void Recordset::MoveNext() {
    R(impl_).Move(1);
}
void Recordset::MovePrevious() {
    R(impl_).Move(2);
}
void Recordset::MoveFirst() {
    R(impl_).Move(0);
}
void Recordset::MoveLast() {
    R(impl_).Move(3);
}

std::int64_t Recordset::RecordCount() const {
    RecordsetImpl& r = R(impl_);
    Connection& c = r.C();
    if (!r.query) {
        std::uint64_t gen = c.writeGeneration * 1000003ULL + (r.tableGeneration ? *r.tableGeneration : 0);
        if (!r.count || r.countGeneration != gen) {
            sqlite3_stmt* s = c.Prepare("SELECT count(*) FROM " + r.dataName);
            std::int64_t n = 0;
            if (sqlite3_step(s) == SQLITE_ROW) n = sqlite3_column_int64(s, 0);
            sqlite3_reset(s);
            r.count = n;
            r.countGeneration = gen;
        }
        return *r.count;
    }
    if (!r.count) {
        Stmt s = c.PrepareJet("SELECT count(*) FROM (" + r.sql + ")");
        std::int64_t n = 0;
        if (sqlite3_step(s.get()) == SQLITE_ROW) n = sqlite3_column_int64(s.get(), 0);
        r.count = n;
    }
    return *r.count;
}

void Recordset::AddNew() {
    RecordsetImpl& r = R(impl_);
    Connection& c = r.C();
    if (!r.updatable) ThrowJet(3027);
    if (r.editMode) ThrowJet(3023);
    c.EnsureWritable();
    r.LoadDefaults();
    r.buffer.assign(r.cols.size(), Variant::Null());
    r.dirty.assign(r.cols.size(), 0);
    r.overflow.assign(r.cols.size(), 0);
    for (std::size_t i = 0; i < r.cols.size(); ++i)
        if (r.defaults[i]) r.buffer[i] = *r.defaults[i];
    if (r.counterCol >= 0) {
        const TableState& t = r.Base();
        const FieldDef& f =
            t.fields[static_cast<std::size_t>(r.cols[static_cast<std::size_t>(r.counterCol)].baseField)];
        r.buffer[static_cast<std::size_t>(r.counterCol)] =
            Variant::FromLong(static_cast<std::int32_t>(c.NextCounter(t, f)));
    }
    r.editMode = 2;
}

void Recordset::Edit() {
    RecordsetImpl& r = R(impl_);
    if (!r.updatable) ThrowJet(3027);
    if (r.editMode) ThrowJet(3023);
    if (r.eof || r.bof) ThrowJet(3021);
    if (r.deleted) ThrowJet(3167);
    // The buffer receives only the values that are set (Get reads the others from the row).
    r.buffer.resize(r.cols.size());
    r.dirty.assign(r.cols.size(), 0);
    r.overflow.assign(r.cols.size(), 0);
    r.editMode = 1;
}

void Recordset::Update() {
    R(impl_).Update();
}

void Recordset::CancelUpdate() {
    RecordsetImpl& r = R(impl_);
    if (!r.editMode) ThrowJet(3020);
    r.editMode = 0;
}

void Recordset::Delete() {
    R(impl_).Delete();
}
int Recordset::EditMode() const {
    return R(impl_).editMode;
}
bool Recordset::Updatable() const {
    return R(impl_).updatable;
}
std::string Recordset::Name() const {
    return R(impl_).source;
}
int Recordset::Type() const {
    return R(impl_).type;
}

dao::Fields Recordset::Fields() const {
    R(impl_);
    return FieldsOf(impl_);
}

void Recordset::Close() {
    if (!impl_) throw VbError(91);
    impl_->Close();
}

} // namespace ledrana::dao
