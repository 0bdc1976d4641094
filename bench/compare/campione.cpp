#include "bench/compare/campione.h"

#include <set>
#include <sstream>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace ledrana::bench {

namespace {

// A number spread over the rows and the fields, the same for the same row and field.
std::uint64_t Sparso(std::int64_t i, std::size_t campo) {
    std::uint64_t x =
        static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ULL + (campo + 1) * 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBULL;
    return x ^ (x >> 29);
}

// A value for field `f` (at position `campo`) of row i. Texts are numbers written out (as codes, amounts
// and numbers kept in text fields are); Null in one row of three where `nullo` allows it: the same rows
// for every field, or rows of the field's own when `sparsi`.
dao::Variant Valore(const dao::Field& f, std::size_t campo, std::int64_t i, bool nullo, bool sparsi) {
    const std::uint64_t r = sparsi ? Sparso(i, campo) : static_cast<std::uint64_t>(i);
    const bool vuoto = nullo && r % 3 == 0;
    switch (f.Type()) {
    case dao::dbBoolean:
        return dao::Variant(i % 2 == 0);
    case dao::dbByte:
        return dao::Variant::FromByte(static_cast<std::uint8_t>(i % 256));
    case dao::dbInteger:
        return dao::Variant::FromInteger(static_cast<std::int16_t>(i % 32000));
    case dao::dbLong:
        return dao::Variant::FromLong(static_cast<std::int32_t>(i));
    case dao::dbCurrency:
        return dao::Variant::FromCurrency(static_cast<double>(i % 1000000) / 100.0);
    case dao::dbSingle:
    case dao::dbDouble:
        return dao::Variant(static_cast<double>(i % 100000) / 8.0);
    case dao::dbDate:
        return dao::Variant::FromDate(36526.0 + static_cast<double>(i % 7000));
    case dao::dbText: {
        if (vuoto) return dao::Variant::Null();
        return dao::Variant(LeftChars(std::to_string(i), static_cast<std::size_t>(f.Size())));
    }
    case dao::dbMemo:
        return r % 10 == 0 ? dao::Variant("nota " + std::to_string(i)) : dao::Variant::Null();
    default:
        return dao::Variant::Null();
    }
}

std::int64_t Riempi(dao::Database& db, dao::Database& modello, const std::string& tabella, std::int64_t righe,
                    bool sparsi) {
    dao::TableDef td = db.TableDefs()[tabella];
    // Nulls only where the Null pass will find the field accepting the neutral value: in fields outside
    // the indexes that the model has as well.
    std::set<std::string> delModello;
    const dao::Fields campiModello = modello.TableDefs()[tabella].Fields();
    for (int j = 0; j < campiModello.Count(); ++j)
        delModello.insert(UCase(campiModello[j].Name()));
    std::set<std::string> indicizzati;
    const dao::Indexes ix = td.Indexes();
    for (int k = 0; k < ix.Count(); ++k) {
        const dao::Fields f = ix[k].Fields();
        for (int j = 0; j < f.Count(); ++j)
            indicizzati.insert(UCase(f[j].Name()));
    }
    const dao::Fields campi = td.Fields();
    std::vector<dao::Field> definizioni;
    for (int j = 0; j < campi.Count(); ++j)
        definizioni.push_back(campi[j]);

    std::int64_t scritte = 0;
    dao::Recordset rs = db.OpenRecordset(tabella);
    const dao::Fields valori = rs.Fields();
    for (std::int64_t i = 1; i <= righe; ++i) {
        rs.AddNew();
        for (std::size_t j = 0; j < definizioni.size(); ++j) {
            const dao::Field& f = definizioni[j];
            if (f.Attributes() & dao::dbAutoIncrField) continue;
            const std::string nome = UCase(f.Name());
            valori[f.Name()].SetValue(
                Valore(f, j, i, indicizzati.count(nome) == 0 && delModello.count(nome) > 0, sparsi));
        }
        try {
            rs.Update();
            ++scritte;
        } catch (const Error&) {
            rs.CancelUpdate(); // a key that the generated values repeat: the row is left out
        }
    }
    rs.Close();
    return scritte;
}

} // namespace

std::int64_t FillArchive(dao::DBEngine& engine, const std::string& path, const std::string& model,
                         std::int64_t rows, bool scattered) {
    dao::Database db = engine.OpenDatabase(path);
    dao::Database modello = engine.OpenDatabase(model);
    std::int64_t scritte = 0;
    const std::pair<const char*, std::int64_t> tabelle[] = {
        {"Movimenti", rows},       {"ARTICOLI", rows / 4}, {"FATTURECLI_R", rows / 4},
        {"FATTURECLI", rows / 10}, {"Clienti", rows / 50}, {"Prodotti", rows / 50},
    };
    for (const auto& [tabella, righe] : tabelle)
        scritte += Riempi(db, modello, tabella, righe, scattered);
    modello.Close();
    db.Close();
    return scritte;
}

} // namespace ledrana::bench
