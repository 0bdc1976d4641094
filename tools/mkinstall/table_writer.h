#pragma once
// Writes rows into a table of whatever version through a table-type recordset: fields that the table
// does not have are left out, so one generator fills the archives of every version. A table that does
// not exist makes a writer that writes nothing.

#include "dao/dao.h"

#include <string>
#include <string_view>
#include <vector>

namespace ledrana::mkinstall {

class TableWriter {
public:
    TableWriter(dao::Database& db, std::string_view table);
    ~TableWriter();
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    bool Active() const { return active_; }
    bool Has(std::string_view field) const { return Slot(field) >= 0; }
    // The position of a field for the fast Set, -1 when the table has no such field.
    int Slot(std::string_view field) const;

    // Starts a row. A table whose "ID" field is a plain Long (an older version's key) gets the next
    // number in it; a counter numbers itself.
    void AddNew();
    void Set(std::string_view field, const dao::Variant& value) { Set(Slot(field), value); }
    void Set(int slot, const dao::Variant& value);
    void Update();
    std::int64_t Rows() const { return rows_; }

private:
    bool active_ = false;
    std::string table_;
    dao::Recordset rs_;
    std::vector<std::string> names_; // upper case, by position
    std::vector<dao::Field> fields_;
    int idSlot_ = -1; // a plain Long "ID" that this writer numbers
    std::int64_t rows_ = 0;
};

} // namespace ledrana::mkinstall
