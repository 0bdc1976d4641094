// Reading Jet and ACE files through libmdb: header checks, table definitions and raw row values (their bytes
// decoded by jet_values.cpp).

#include "dao/jet/jet_file.h"
#include "dao/jet/jet_password.h"
#include "dao/jet/jet_values.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <mdbtools.h>

#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace ledrana::dao::jet {

namespace {

constexpr int kOffsetMask = 0x1fff;
constexpr int kDeletedRow = 0x4000; // libmdb's reading of the row flags
// A calculated column's value: 16 bytes, the value's length (4), the value, then 3 more bytes at most.
constexpr int kCalculatedHeader = 20;

MdbHandle* H(void* p) {
    return static_cast<MdbHandle*>(p);
}

std::vector<std::pair<std::string, std::string>> PropertyList(const MdbProperties* props) {
    std::vector<std::pair<std::string, std::string>> out;
    if (!props || !props->hash) return out;
    GHashTableIter it;
    gpointer k, v;
    g_hash_table_iter_init(&it, props->hash);
    while (g_hash_table_iter_next(&it, &k, &v))
        out.emplace_back(static_cast<const char*>(k), v ? static_cast<const char*>(v) : "");
    std::sort(out.begin(), out.end());
    return out;
}

// A table definition read by libmdb, freed on scope exit.
struct TableHandle {
    MdbTableDef* t = nullptr;
    ~TableHandle() {
        if (t) mdb_free_tabledef(t);
    }
};

} // namespace

std::optional<Header> ParseHeader(std::string_view first) {
    if (first.size() < 0x80 || first[0] != 0) return std::nullopt;
    std::string_view magic = first.substr(4, 15);
    Header h;
    if (magic == "Standard Jet DB")
        h.ace = false;
    else if (magic == "Standard ACE DB")
        h.ace = true;
    else
        return std::nullopt;
    h.version = static_cast<unsigned char>(first[0x14]);
    h.pageSize = h.version == 0 ? 2048 : 4096;
    std::size_t masked = h.version == 0 ? 126 : 128;
    if (first.size() >= 0x18 + masked) {
        std::string plain(first.substr(0x18, masked));
        UnmaskHeader(reinterpret_cast<unsigned char*>(plain.data()), plain.size());
        auto* p = reinterpret_cast<const unsigned char*>(plain.data());
        h.codePage = p[0x3c - 0x18] | p[0x3d - 0x18] << 8;
        h.dbKey = Le32(p + (0x3e - 0x18));
    }
    return h;
}

bool LooksLikeJetFile(const std::string& hostPath) {
    try {
        return ParseHeader(platform::ReadFileStart(platform::WindowsPath(hostPath), 4096)).has_value();
    } catch (const Error&) {
        return false;
    }
}

File::Quiet::Quiet(const File& file) : file_(file) {
    if (file.quietDepth_++ > 0) return;
    std::fflush(stderr);
    file.sink_ = std::tmpfile();
    if (!file.sink_) return;
    file.savedStderr_ = dup(2);
    if (file.savedStderr_ < 0 || dup2(fileno(file.sink_), 2) < 0) {
        if (file.savedStderr_ >= 0) close(file.savedStderr_);
        std::fclose(file.sink_);
        file.sink_ = nullptr;
    }
}

File::Quiet::~Quiet() {
    if (--file_.quietDepth_ > 0 || !file_.sink_) return;
    std::fflush(stderr);
    dup2(file_.savedStderr_, 2);
    close(file_.savedStderr_);
    std::fclose(file_.sink_);
    file_.sink_ = nullptr;
}

std::string File::Said() const {
    if (!sink_) return {};
    std::fflush(stderr);
    struct stat st {};
    if (fstat(fileno(sink_), &st) != 0 || st.st_size <= 0) return {};
    std::string text(static_cast<std::size_t>(std::min<off_t>(st.st_size, 4096)), '\0');
    const ssize_t got = pread(fileno(sink_), text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    // One line: its lines joined, without the blanks around them.
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        line.erase(0, line.find_first_not_of(" \t\r"));
        line.erase(line.find_last_not_of(" \t\r") + 1);
        if (!line.empty()) out += (out.empty() ? "" : "; ") + line;
        pos = end + 1;
    }
    return out;
}

void File::Fail(int number, const std::string& what) const {
    const std::string said = Said();
    const std::string detail = said.empty() ? "" : " (libmdb: " + said + ")";
    switch (number) {
    case 3343:
        throw Error(3343, "Formato di database '" + shown_ + "' non riconosciuto: " + what + detail + ".");
    case 3031:
        throw Error(3031, "Password non valida: il database '" + shown_ + "' " + what + detail + ".");
    default:
        throw Error(number, "Il database '" + shown_ + "' è danneggiato: " + what + detail + ".");
    }
}

File::File(const std::string& hostPath, const std::string& shownName) : shown_(shownName) {
    const std::string win = platform::WindowsPath(hostPath);
    if (!platform::FileExists(win)) throw Error(3024, "Impossibile trovare il file '" + shown_ + "'.");
    headerPage_ = platform::ReadFileStart(win, 4096);
    std::optional<Header> h = ParseHeader(headerPage_);
    if (!h) Fail(3343, "non è un file Jet o ACE");
    header_ = *h;
    if (header_.version > MDB_VER_ACCDB_2019)
        Fail(3343, "versione " + std::to_string(header_.version) + " del formato sconosciuta");
    if (header_.ace && header_.dbKey != 0) Fail(3031, "è cifrato e non può essere letto");
    headerPage_.resize(std::min(headerPage_.size(), header_.pageSize));
    const std::int64_t size = platform::FileLen(win);
    const auto page = static_cast<std::int64_t>(header_.pageSize);
    if (size < 3 * page) Fail(3049, "il file è troncato (" + std::to_string(size) + " byte)");
    if (size % page != 0)
        Fail(3049, "il file è troncato (" + std::to_string(size) + " byte, non un multiplo della pagina di " +
                       std::to_string(page) + ")");
    Quiet quiet(*this);
    MdbHandle* mdb = mdb_open(hostPath.c_str(), MDB_NOFLAGS);
    if (!mdb) Fail(3049, "la prima pagina non può essere letta");
    mdb_ = mdb;
    try {
        CheckObjectProperties();
    } catch (...) {
        mdb_close(mdb);
        mdb_ = nullptr;
        throw;
    }
    // The checks above keep libmdb from the files it could not read at all; what it still says about an
    // unreadable catalog becomes the detail of the error.
    if (!mdb_read_catalog(mdb, MDB_ANY) || mdb->num_catalog == 0) {
        mdb_close(mdb);
        mdb_ = nullptr;
        Fail(3049, "il catalogo degli oggetti non può essere letto");
    }
}

namespace {

// The checks libmdb's reader of object properties (mdb_kkd_to_props) leaves out: every record must fit in
// its block and move the reading on, or libmdb reads outside the value or never ends.
bool PropertiesReadable(const std::string& v) {
    const auto* b = reinterpret_cast<const unsigned char*>(v.data());
    const std::size_t len = v.size();
    if (len < 4 || (std::memcmp(b, "KKD", 4) != 0 && std::memcmp(b, "MR2", 4) != 0))
        return true; // libmdb skips it
    bool names = false;
    for (std::size_t pos = 4; pos < len;) {
        if (pos + 6 > len) return false;
        const std::size_t rec = Le32(b + pos);
        if (rec < 6 || rec > len - pos) return false;
        const unsigned type = Le16(b + pos + 4);
        const unsigned char* r = b + pos + 6;
        const std::size_t n = rec - 6;
        if (type == 0x80) {
            for (std::size_t p = 0; p < n;) {
                if (p + 2 > n) return false;
                const std::size_t nameLen = Le16(r + p);
                p += 2;
                if (nameLen > n - p) return false;
                p += nameLen;
            }
            names = true;
        } else if (type <= 2) {
            if (!names || n < 6) return false;
            std::size_t p = 6 + Le16(r + 4);
            if (p > n) return false;
            while (p < n) {
                if (p + 8 > n) return false;
                const std::size_t one = Le16(r + p);
                if (one < 8 || one > n - p || 8 + std::size_t(Le16(r + p + 6)) > one) return false;
                p += one;
            }
        }
        pos += rec;
    }
    return true;
}

} // namespace

void File::CheckObjectProperties() {
    MdbHandle* mdb = H(mdb_);
    MdbCatalogEntry objects;
    std::memset(&objects, 0, sizeof objects);
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::snprintf(objects.object_name, sizeof objects.object_name, "%s", "MSysObjects");
    TableHandle th{mdb_read_table(&objects)};
    if (!th.t || !mdb_read_columns(th.t)) Fail(3049, "il catalogo degli oggetti non può essere letto");
    int props = -1, name = -1;
    for (unsigned i = 0; i < th.t->num_cols; ++i) {
        auto* c = static_cast<MdbColumn*>(g_ptr_array_index(th.t->columns, i));
        if (std::strcmp(c->name, "LvProp") == 0) props = static_cast<int>(i);
        if (std::strcmp(c->name, "Name") == 0) name = static_cast<int>(i);
    }
    if (props < 0 || name < 0) Fail(3049, "il catalogo degli oggetti non ha la forma attesa");
    RowsOf(th.t, "MSysObjects", [&](const std::vector<Value>& row) {
        if (row[props].kind == Value::Kind::Binary && !PropertiesReadable(row[props].s))
            Fail(3049, "le proprietà dell'oggetto " + row[name].s + " non possono essere lette");
    });
}

File::~File() {
    if (mdb_) mdb_close(H(mdb_));
}

std::vector<std::string> File::LocalTables() const {
    std::vector<std::string> out;
    MdbHandle* mdb = H(mdb_);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (mdb_is_user_table(e)) out.emplace_back(e->object_name);
    }
    return out;
}

std::vector<LinkedTable> File::LinkedTables() const {
    std::vector<LinkedTable> out;
    TableInfo sys = ReadTable("MSysObjects");
    auto col = [&](const char* n) {
        for (std::size_t i = 0; i < sys.columns.size(); ++i)
            if (ledrana::EqualsNoCase(sys.columns[i].name, n)) return static_cast<int>(i);
        return -1;
    };
    const int name = col("Name"), type = col("Type"), database = col("Database"), connect = col("Connect"),
              foreign = col("ForeignName");
    if (name < 0 || type < 0) return out;
    auto text = [](const std::vector<Value>& row, int i) { return i >= 0 ? row[i].s : std::string(); };
    ForEachRow("MSysObjects", [&](const std::vector<Value>& row) {
        const std::int64_t t = row[type].i;
        if (t != 6 && t != 4) return;
        LinkedTable l;
        l.name = text(row, name);
        l.foreignName = text(row, foreign);
        if (t == 4)
            l.connect = text(row, connect);
        else
            l.connect = text(row, connect) + ";DATABASE=" + text(row, database);
        out.push_back(std::move(l));
    });
    return out;
}

namespace {

MdbTableDef* OpenTable(MdbHandle* mdb, const std::string& name, const File& file) {
    // A form or a report may carry a table's name: only table entries count.
    MdbCatalogEntry* e = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !e; ++i) {
        auto* c = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (c->object_type == MDB_TABLE && name == c->object_name) e = c;
    }
    if (!e) file.Fail(3049, "la tabella " + name + " non è nel catalogo");
    MdbTableDef* t = mdb_read_table(e);
    if (!t) file.Fail(3049, "la definizione della tabella " + name + " non può essere letta");
    if (!mdb_read_columns(t)) {
        mdb_free_tabledef(t);
        file.Fail(3049, "i campi della tabella " + name + " non possono essere letti");
    }
    return t;
}

} // namespace

// The table definition: its first page whole, then each page it continues on without the page's own
// 8-byte head, so that offsets run on as if it were one page.
std::string File::TableDefinition(void* table) const {
    MdbHandle* mdb = H(mdb_);
    auto* t = static_cast<MdbTableDef*>(table);
    const std::size_t pageSize = mdb->fmt->pg_size;
    std::string def;
    std::uint32_t page = t->entry->table_pg;
    for (int pages = 0; page != 0; ++pages) {
        if (pages > 4096 || mdb_read_alt_pg(mdb, page) != static_cast<ssize_t>(pageSize) ||
            mdb->alt_pg_buf[0] != 0x02)
            Fail(3049, "la definizione della tabella " + std::string(t->name) + " non può essere letta");
        const auto* p = mdb->alt_pg_buf;
        def.append(reinterpret_cast<const char*>(p) + (pages == 0 ? 0 : 8), pageSize - (pages == 0 ? 0 : 8));
        page = Le32(p + 4);
    }
    return def;
}

// Jet 4 and ACE column definitions are 25 bytes each, after the real indexes' entries: the column number
// at 5, the complex id at 11 (the column's Decimal precision and scale for others), the extra flags at 16.
std::vector<std::pair<int, std::uint32_t>> File::ColumnFlags(void* table) const {
    auto* t = static_cast<MdbTableDef*>(table);
    std::vector<std::pair<int, std::uint32_t>> out(t->num_cols);
    if (header_.version == MDB_VER_JET3) return out;
    const std::string def = TableDefinition(table);
    const auto* b = reinterpret_cast<const unsigned char*>(def.data());
    if (def.size() < 63) return out;
    const std::size_t numCols = Le16(b + 45), numReal = Le32(b + 51);
    const std::size_t first = 63 + numReal * 12;
    if (numReal > 1000 || first + numCols * 25 > def.size()) return out;
    for (std::size_t i = 0; i < numCols; ++i) {
        const unsigned char* d = b + first + i * 25;
        const int colNum = static_cast<int>(Le16(d + 5));
        for (unsigned c = 0; c < t->num_cols; ++c)
            if (static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c))->col_num == colNum)
                out[c] = {d[16], Le32(d + 11)};
    }
    return out;
}

// MSysComplexColumns names, for each complex id, the page of the hidden table holding its values.
std::string File::FlatTableOf(std::uint32_t complexId) const {
    if (!flatTablesRead_) {
        flatTablesRead_ = true;
        MdbHandle* mdb = H(mdb_);
        bool present = false;
        for (unsigned i = 0; i < mdb->num_catalog && !present; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            present = e->object_type == MDB_TABLE && std::strcmp(e->object_name, "MSysComplexColumns") == 0;
        }
        if (present) {
            TableInfo sys = ReadTable("MSysComplexColumns");
            int id = -1, flat = -1;
            for (std::size_t i = 0; i < sys.columns.size(); ++i) {
                if (ledrana::EqualsNoCase(sys.columns[i].name, "ComplexID")) id = static_cast<int>(i);
                if (ledrana::EqualsNoCase(sys.columns[i].name, "FlatTableID")) flat = static_cast<int>(i);
            }
            if (id >= 0 && flat >= 0)
                ForEachRow("MSysComplexColumns", [&](const std::vector<Value>& row) {
                    const auto page = static_cast<unsigned long>(row[flat].i);
                    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
                        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
                        if (e->object_type == MDB_TABLE && e->table_pg == page)
                            flatTables_.emplace_back(static_cast<std::uint32_t>(row[id].i), e->object_name);
                    }
                });
        }
    }
    for (const auto& [id, name] : flatTables_)
        if (id == complexId) return name;
    return {};
}

// The result type of a calculated column (its ResultType property), 0 for the others.
static int CalculatedType(const MdbColumn* c, int extFlags) {
    if ((extFlags & 0xC0) == 0) return 0;
    const char* v = c->props && c->props->hash
                        ? static_cast<const char*>(g_hash_table_lookup(c->props->hash, "ResultType"))
                        : nullptr;
    // Without the property the definition's own type is the result's.
    const int result = v ? std::atoi(v) : 0;
    return result != 0 ? result : c->col_type;
}

// The indexes as the table definition holds them. After the columns and their names come the real
// indexes (the key columns by column number with their order, and the flags), then the logical indexes
// (each naming its real index and its kind), then the logical indexes' names. Several logical indexes
// may share one real index, and a column's number is not its position once columns have been deleted.
std::vector<IndexInfo> File::ReadIndexes(void* table) const {
    auto* t = static_cast<MdbTableDef*>(table);
    const bool jet3 = header_.version == MDB_VER_JET3;
    const std::string def = TableDefinition(table);
    const auto* b = reinterpret_cast<const unsigned char*>(def.data());
    const std::size_t n = def.size();
    auto bad = [&]() {
        Fail(3049, "gli indici della tabella " + std::string(t->name) + " non possono essere letti");
    };
    auto need = [&](std::size_t pos, std::size_t len) {
        if (pos > n || len > n - pos) bad();
    };
    const std::size_t numCols = Le16(b + (jet3 ? 25 : 45));
    const std::size_t numIdx = Le32(b + (jet3 ? 27 : 47));
    const std::size_t numReal = Le32(b + (jet3 ? 31 : 51));
    if (numIdx > 1000 || numReal > 1000) bad();
    std::size_t pos = (jet3 ? 43 : 63) + numReal * (jet3 ? 8 : 12) + numCols * (jet3 ? 18 : 25);
    for (std::size_t i = 0; i < numCols; ++i) {
        need(pos, jet3 ? 1 : 2);
        pos += (jet3 ? 1 + b[pos] : 2 + Le16(b + pos));
    }

    struct Real {
        std::vector<std::pair<int, bool>> fields;
        int flags = 0;
    };
    std::vector<Real> reals(numReal);
    const std::size_t realSize = jet3 ? 39 : 52;
    need(pos, numReal * realSize);
    for (auto& r : reals) {
        const unsigned char* e = b + pos + (jet3 ? 0 : 4);
        for (int k = 0; k < 10; ++k) {
            const unsigned colNum = Le16(e + 3 * k);
            if (colNum == 0xFFFF) continue;
            int position = -1;
            for (unsigned c = 0; c < t->num_cols && position < 0; ++c)
                if (static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c))->col_num ==
                    static_cast<int>(colNum))
                    position = static_cast<int>(c);
            // 0x01 ascending, 0x00 descending
            r.fields.emplace_back(position, e[3 * k + 2] == 0);
        }
        r.flags = e[30 + 4 + 4 + (jet3 ? 0 : 4)];
        pos += realSize;
    }

    std::vector<IndexInfo> out(numIdx);
    const std::size_t logicalSize = jet3 ? 20 : 28;
    need(pos, numIdx * logicalSize);
    for (auto& ix : out) {
        const unsigned char* e = b + pos + (jet3 ? 0 : 4);
        const std::size_t real = Le32(e + 4);
        const int kind = e[19];
        if (real >= reals.size()) bad();
        ix.foreign = kind == 2;
        ix.primary = kind == 1;
        const int flags = reals[real].flags;
        ix.unique = ix.primary || (flags & MDB_IDX_UNIQUE) != 0;
        ix.ignoreNulls = (flags & MDB_IDX_IGNORENULLS) != 0;
        ix.required = ix.primary || (flags & MDB_IDX_REQUIRED) != 0;
        for (const auto& f : reals[real].fields)
            if (f.first >= 0) ix.fields.push_back(f);
        pos += logicalSize;
    }
    const bool cp1252 = header_.codePage == 0 || header_.codePage == 1252;
    for (auto& ix : out) {
        need(pos, jet3 ? 1 : 2);
        const std::size_t len = jet3 ? b[pos] : Le16(b + pos);
        pos += jet3 ? 1 : 2;
        need(pos, len);
        std::string_view raw(def.data() + pos, len);
        if (!jet3) {
            ix.name = Jet4Text(b + pos, len);
        } else if (cp1252) {
            ix.name = ledrana::Cp1252ToUtf8(raw);
        } else {
            ix.name.assign(4 * len + 1, '\0');
            const int got = mdb_unicode2ascii(H(mdb_), raw.data(), len, ix.name.data(), ix.name.size());
            ix.name.resize(static_cast<std::size_t>(std::max(got, 0)));
        }
        pos += len;
    }
    return out;
}

TableInfo File::ReadTable(const std::string& name) const {
    Quiet quiet(*this);
    MdbHandle* mdb = H(mdb_);
    TableHandle th{OpenTable(mdb, name, *this)};
    MdbTableDef* t = th.t;
    TableInfo info;
    info.name = t->name;
    info.declaredRows = t->num_rows;
    info.properties = PropertyList(t->props);
    const bool jet3 = header_.version == MDB_VER_JET3;
    const auto flags = ColumnFlags(t);
    for (unsigned i = 0; i < t->num_cols; ++i) {
        auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        Column col;
        col.name = c->name;
        col.jetType = c->col_type;
        col.size = c->col_size;
        if (const int result = CalculatedType(c, flags[i].first); result != 0) {
            // The definition's length counts the header that precedes each value.
            col.calculated = true;
            col.jetType = result;
            col.size = std::max(c->col_size - kCalculatedHeader - 3, 0);
        }
        if (col.jetType == MDB_TEXT && !jet3) col.size /= 2;
        if (col.jetType == MDB_COMPLEX) col.flatTable = FlatTableOf(flags[i].second);
        // libmdb's names for the two bytes are the other way round; it reads Decimal values with them so.
        col.precision = c->col_scale;
        col.scale = c->col_prec;
        col.fixed =
            c->is_fixed != 0 || (col.calculated && col.jetType != MDB_TEXT && col.jetType != MDB_MEMO);
        col.counter = c->is_long_auto != 0;
        col.guidAuto = c->is_uuid_auto != 0;
        col.properties = PropertyList(c->props);
        info.columns.push_back(std::move(col));
    }
    info.indexes = ReadIndexes(t);
    return info;
}

std::int64_t File::ForEachRow(const std::string& name,
                              const std::function<void(const std::vector<Value>&)>& onRow) const {
    Quiet quiet(*this);
    TableHandle th{OpenTable(H(mdb_), name, *this)};
    return RowsOf(th.t, name, onRow);
}

std::int64_t File::RowsOf(void* table, const std::string& name,
                          const std::function<void(const std::vector<Value>&)>& onRow) const {
    MdbHandle* mdb = H(mdb_);
    auto* t = static_cast<MdbTableDef*>(table);
    const bool jet3 = header_.version == MDB_VER_JET3;
    const bool cp1252 = header_.codePage == 0 || header_.codePage == 1252;
    std::vector<MdbField> fields(t->num_cols + 1);
    std::vector<Value> row(t->num_cols);
    std::vector<MdbColumn*> cols(t->num_cols);
    for (unsigned i = 0; i < t->num_cols; ++i)
        cols[i] = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));

    auto text = [&](const unsigned char* p, std::size_t n) -> std::string {
        if (!jet3) return Jet4Text(p, n);
        std::string_view raw(reinterpret_cast<const char*>(p), n);
        if (cp1252) return ledrana::Cp1252ToUtf8(raw);
        std::string out(4 * n + 1, '\0');
        int len = mdb_unicode2ascii(mdb, raw.data(), n, out.data(), out.size());
        out.resize(static_cast<std::size_t>(std::max(len, 0)));
        return out;
    };
    // A Memo or OLE value: inline, on one other page, or a chain of pages.
    auto longValue = [&](int start, int size) -> std::string {
        if (size < MDB_MEMO_OVERHEAD)
            Fail(3049, "un valore Memo/OLE della tabella " + name + " è incompleto");
        const std::uint32_t head = Le32(mdb->pg_buf + start);
        const std::size_t total = head & 0x3fffffff;
        if (head & 0x80000000u)
            return std::string(reinterpret_cast<const char*>(mdb->pg_buf + start + MDB_MEMO_OVERHEAD),
                               static_cast<std::size_t>(size - MDB_MEMO_OVERHEAD));
        if (total > kMaxLongValue)
            Fail(3049, "un valore Memo/OLE della tabella " + name + " ha una lunghezza impossibile");
        std::int32_t pgRow = static_cast<std::int32_t>(Le32(mdb->pg_buf + start + 4));
        std::string out;
        void* buf = nullptr;
        int off = 0;
        std::size_t len = 0;
        if (head & 0x40000000u) {
            if (mdb_find_pg_row(mdb, pgRow, &buf, &off, &len) != 0)
                Fail(3049,
                     "una pagina di un valore Memo/OLE della tabella " + name + " non può essere letta");
            out.assign(static_cast<const char*>(buf) + off, std::min(len, total));
            return out;
        }
        if ((head & 0xff000000u) != 0)
            Fail(3049, "un valore Memo/OLE della tabella " + name + " ha un formato sconosciuto");
        out.reserve(total);
        for (std::size_t pages = 0; out.size() < total; ++pages) {
            if (pgRow == 0 || pages > total / 8 + 1 || mdb_find_pg_row(mdb, pgRow, &buf, &off, &len) != 0 ||
                len < 4)
                Fail(3049,
                     "una pagina di un valore Memo/OLE della tabella " + name + " non può essere letta");
            const auto* p = static_cast<const unsigned char*>(buf) + off;
            out.append(reinterpret_cast<const char*>(p + 4), std::min(len - 4, total - out.size()));
            pgRow = static_cast<std::int32_t>(Le32(p));
        }
        // libmdb follows the chain to its end, not to the length: a chain that goes on is not read.
        if (pgRow != 0)
            Fail(3049, "un valore Memo/OLE della tabella " + name + " continua oltre la sua lunghezza");
        return out;
    };

    // The result type of each calculated column, 0 for the others.
    std::vector<int> calc(t->num_cols);
    const auto flags = ColumnFlags(t);
    for (unsigned i = 0; i < t->num_cols; ++i)
        calc[i] = CalculatedType(cols[i], flags[i].first);

    std::int64_t count = 0;
    mdb_rewind_table(t);
    while (mdb_read_next_dpg(t)) {
        const unsigned rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        for (unsigned r = 0; r < rows; ++r) {
            int start = 0;
            std::size_t size = 0;
            if (mdb_find_row(mdb, static_cast<int>(r), &start, &size) == -1 || size == 0) continue;
            if (start & kDeletedRow) continue;
            start &= kOffsetMask;
            if (mdb_crack_row(t, start, size, fields.data()) < 0)
                Fail(3049, "una riga della tabella " + name + " non può essere letta");
            for (unsigned i = 0; i < t->num_cols; ++i) {
                const MdbField& f = fields[i];
                const MdbColumn* c = cols[f.colnum];
                Value& v = row[f.colnum];
                v.s.clear();
                v.exact.clear();
                const int calculated = calc[f.colnum];
                if (c->col_type == MDB_BOOL || (calculated == MDB_BOOL && f.is_null)) {
                    v.kind = Value::Kind::Boolean;
                    v.i = f.is_null ? 0 : -1;
                    continue;
                }
                if (f.is_null) {
                    v.kind = Value::Kind::Null;
                    continue;
                }
                const unsigned char* p = mdb->pg_buf + f.start;
                const auto n = static_cast<std::size_t>(std::max(f.siz, 0));
                if (calculated != 0) {
                    // The value behind its header; a Memo result is a long value holding both.
                    std::string raw = calculated == MDB_MEMO
                                          ? longValue(f.start, f.siz)
                                          : std::string(reinterpret_cast<const char*>(p), n);
                    const auto* d = reinterpret_cast<const unsigned char*>(raw.data());
                    std::size_t len = raw.size();
                    if (len >= kCalculatedHeader) {
                        len = std::min<std::size_t>(len - kCalculatedHeader, Le32(d + 16));
                        d += kCalculatedHeader;
                    }
                    if (calculated == MDB_BOOL) {
                        v.kind = Value::Kind::Boolean;
                        v.i = len > 0 && d[0] != 0 ? -1 : 0;
                    } else if (calculated == MDB_TEXT || calculated == MDB_MEMO) {
                        v.kind = Value::Kind::String;
                        v.s = text(d, len);
                    } else if (len == 0) {
                        v.kind = Value::Kind::Null; // a Null result is written as an empty value
                    } else if (calculated == MDB_NUMERIC) {
                        // As a VARIANT's DECIMAL: 2 unused bytes, the scale, the sign, then the 96-bit
                        // magnitude as its high 32 bits and its low 64.
                        if (len < 16 || d[2] > 28)
                            Fail(3049, "un valore calcolato della tabella " + name + " è incompleto");
                        v.kind = Value::Kind::Decimal;
                        v.s = DecimalText(Le32(d + 4), Le64(d + 8), d[2], (d[3] & 0x80) != 0);
                    } else if (!DecodeFixed(calculated, d, len, v)) {
                        Fail(3049, "un valore calcolato della tabella " + name + " è incompleto");
                    }
                    continue;
                }
                switch (c->col_type) {
                case MDB_TEXT:
                    v.kind = Value::Kind::String;
                    v.s = text(p, n);
                    break;
                case MDB_MEMO: {
                    std::string raw = longValue(f.start, f.siz);
                    v.kind = Value::Kind::String;
                    v.s = text(reinterpret_cast<const unsigned char*>(raw.data()), raw.size());
                    break;
                }
                case MDB_OLE:
                    v.kind = Value::Kind::Binary;
                    v.s = longValue(f.start, f.siz);
                    break;
                case MDB_NUMERIC: {
                    if (n < 17) Fail(3049, "un valore della tabella " + name + " è incompleto");
                    char* s = mdb_numeric_to_string(mdb, f.start, c->col_scale, c->col_prec);
                    v.kind = Value::Kind::Decimal;
                    v.s = s ? s : "";
                    g_free(s);
                    break;
                }
                case kExtendedDate:
                    if (!ExtendedDate(p, n, v))
                        Fail(3049, "un valore Data/ora estesa della tabella " + name + " non è leggibile");
                    break;
                default:
                    if (!DecodeFixed(c->col_type, p, n, v)) {
                        if (IsFixedType(c->col_type))
                            Fail(3049, "un valore della tabella " + name + " è incompleto");
                        v.kind = Value::Kind::Binary;
                        v.s.assign(reinterpret_cast<const char*>(p), n);
                    }
                    break;
                }
            }
            onRow(row);
            ++count;
        }
    }
    return count;
}

} // namespace ledrana::dao::jet
