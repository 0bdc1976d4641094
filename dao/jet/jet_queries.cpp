// Reading the query catalog (MSysObjects, MSysQueries) of a Jet file through libmdb.
//
// The catalog is read directly rather than through mdb_read_catalog, which frees and rebuilds the
// handle's own catalog (the caller may hold entries of it), and it is read on a clone of the handle,
// which has its own page buffer and bind size and shares only the open file.

#include <cstdlib>
#include <map>
#include <memory>

#include "dao/jet/jet_queries.h"
#include "platform/error.h"

namespace ledrana::dao::jet {

namespace {

constexpr int kObjectTypeTable = 1;
constexpr int kObjectTypeQuery = 5;
// MSysObjects is always the table defined on page 2.
constexpr unsigned long kCatalogPage = 2;
// Room for one value: a query's expression is a memo, far below this in any real file.
constexpr std::size_t kBindSize = 1 << 20;

[[noreturn]] void Damaged(const std::string& what) {
    throw Error(3049, what);
}

struct HandleCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};

// A system table read row by row, its columns bound as text.
class BoundTable {
public:
    BoundTable(MdbHandle* mdb, const char* name, unsigned long page) : name_(name) {
        entry_.mdb = mdb;
        entry_.object_type = MDB_TABLE;
        entry_.table_pg = page;
        snprintf(entry_.object_name, sizeof entry_.object_name, "%s", name);
        table_ = mdb_read_table(&entry_);
        if (!table_ || !mdb_read_columns(table_)) Damaged("tabella " + name_ + " illeggibile");
        mdb_rewind_table(table_);
    }
    ~BoundTable() {
        if (table_) mdb_free_tabledef(table_);
    }
    BoundTable(const BoundTable&) = delete;
    BoundTable& operator=(const BoundTable&) = delete;

    // Binds a column; returns its slot, or -1 when the table has no such column and it is optional.
    int Bind(const char* column, bool required = true) {
        buffers_.push_back(std::make_unique<char[]>(kBindSize));
        buffers_.back()[0] = '\0';
        std::string col = column;
        if (mdb_bind_column_by_name(table_, col.data(), buffers_.back().get(), nullptr) < 0) {
            buffers_.pop_back();
            if (required) Damaged("colonna " + col + " assente in " + name_);
            return -1;
        }
        return static_cast<int>(buffers_.size() - 1);
    }

    // Moves to the next row; false at the end. A table whose pages end before its row count is
    // reached (a truncated or damaged file) is refused rather than read in part.
    bool Next() {
        if (mdb_fetch_row(table_)) {
            ++fetched_;
            return true;
        }
        if (fetched_ < table_->num_rows)
            Damaged("tabella " + name_ + " letta in parte (" + std::to_string(fetched_) + " righe di " +
                    std::to_string(table_->num_rows) + ")");
        return false;
    }

    std::string Text(int slot) const { return slot < 0 ? std::string() : std::string(buffers_[slot].get()); }
    long Number(int slot) const { return slot < 0 ? 0 : std::strtol(buffers_[slot].get(), nullptr, 10); }
    // True when a bound value filled its buffer, so may have been cut.
    bool Full(int slot) const {
        return slot >= 0 && std::char_traits<char>::length(buffers_[slot].get()) == kBindSize - 1;
    }

private:
    std::string name_;
    MdbCatalogEntry entry_{};
    MdbTableDef* table_ = nullptr;
    unsigned long fetched_ = 0;
    std::vector<std::unique_ptr<char[]>> buffers_;
};

struct QueryObject {
    std::int32_t id;
    std::string name;
    int flags;
};

} // namespace

std::vector<SavedQuery> ReadSavedQueries(MdbHandle* mdb) {
    if (!mdb) Damaged("database non aperto");
    std::unique_ptr<MdbHandle, HandleCloser> own(mdb_clone_handle(mdb));
    if (!own) Damaged("database non leggibile");
    mdb_set_bind_size(own.get(), kBindSize);

    // The queries in catalog order, and where MSysQueries is.
    std::vector<QueryObject> objects;
    unsigned long queriesPage = 0;
    {
        BoundTable catalog(own.get(), "MSysObjects", kCatalogPage);
        int id = catalog.Bind("Id"), name = catalog.Bind("Name"), type = catalog.Bind("Type"),
            flags = catalog.Bind("Flags");
        while (catalog.Next()) {
            long t = catalog.Number(type);
            if (t == kObjectTypeQuery)
                objects.push_back({static_cast<std::int32_t>(catalog.Number(id)), catalog.Text(name),
                                   static_cast<int>(catalog.Number(flags))});
            else if (t == kObjectTypeTable && catalog.Text(name) == "MSysQueries")
                queriesPage = static_cast<unsigned long>(catalog.Number(id)) & 0x00FFFFFF;
        }
    }
    if (objects.empty()) return {};
    if (queriesPage == 0) Damaged("tabella MSysQueries assente");

    // Every row of MSysQueries, by query.
    std::map<std::int32_t, std::vector<QueryRow>> rowsById;
    std::map<std::int32_t, bool> cut;
    {
        BoundTable queries(own.get(), "MSysQueries", queriesPage);
        int objectId = queries.Bind("ObjectId"), attribute = queries.Bind("Attribute"),
            expression = queries.Bind("Expression"), flag = queries.Bind("Flag"),
            name1 = queries.Bind("Name1"), name2 = queries.Bind("Name2"),
            extra = queries.Bind("LvExtra", false);
        while (queries.Next()) {
            QueryRow r;
            r.attribute = static_cast<int>(queries.Number(attribute));
            r.expression = queries.Text(expression);
            r.flag = static_cast<int>(queries.Number(flag));
            r.name1 = queries.Text(name1);
            r.name2 = queries.Text(name2);
            r.extra = queries.Number(extra);
            auto id = static_cast<std::int32_t>(queries.Number(objectId));
            if (queries.Full(expression)) cut[id] = true;
            rowsById[id].push_back(std::move(r));
        }
    }

    std::vector<SavedQuery> out;
    out.reserve(objects.size());
    for (const QueryObject& o : objects) {
        SavedQuery q = DecodeQuery(rowsById[o.id], o.flags);
        q.name = o.name;
        q.access_internal = !o.name.empty() && o.name.front() == '~';
        if (cut[o.id]) {
            q.sql.clear();
            q.note = "espressione troppo lunga per essere letta intera";
        }
        out.push_back(std::move(q));
    }
    return out;
}

} // namespace ledrana::dao::jet
