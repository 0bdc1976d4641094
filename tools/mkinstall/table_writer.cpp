#include "tools/mkinstall/table_writer.h"

#include "platform/error.h"
#include "platform/text.h"

namespace ledrana::mkinstall {

TableWriter::TableWriter(dao::Database& db, std::string_view table) : table_(table) {
    dao::TableDef td;
    try {
        td = db.TableDefs()[table];
    } catch (const Error& e) {
        if (e.number() != 3265) throw;
        return;
    }
    active_ = true;
    rs_ = db.OpenRecordset(table);
    dao::Fields fields = rs_.Fields();
    for (int i = 0; i < fields.Count(); ++i) {
        fields_.push_back(fields[i]);
        names_.push_back(UCase(fields[i].Name()));
    }
    const int id = Slot("ID");
    if (id >= 0) {
        dao::Field def = td.Fields()["ID"];
        if (def.Type() == dao::dbLong && (def.Attributes() & dao::dbAutoIncrField) == 0) idSlot_ = id;
    }
}

TableWriter::~TableWriter() {
    if (!active_) return;
    try {
        rs_.Close();
    } catch (const Error&) {
    }
}

int TableWriter::Slot(std::string_view field) const {
    const std::string upper = UCase(field);
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == upper) return static_cast<int>(i);
    return -1;
}

void TableWriter::AddNew() {
    if (!active_) return;
    rs_.AddNew();
    if (idSlot_ >= 0) fields_[idSlot_].SetValue(dao::Variant::FromLong(static_cast<std::int32_t>(rows_ + 1)));
}

void TableWriter::Set(int slot, const dao::Variant& value) {
    if (!active_ || slot < 0) return;
    try {
        fields_[slot].SetValue(value);
    } catch (const Error& e) {
        throw Error(e.number(),
                    e.description() + " [" + table_ + "." + names_[slot] + " = " + value.Describe() + "]");
    }
}

void TableWriter::Update() {
    if (!active_) return;
    try {
        rs_.Update();
    } catch (const Error& e) {
        throw Error(e.number(),
                    e.description() + " [" + table_ + ", riga " + std::to_string(rows_ + 1) + "]");
    }
    ++rows_;
}

} // namespace ledrana::mkinstall
