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

// Statements of a script: comment lines ("--") dropped, split at ";" outside strings and brackets.
std::vector<std::string> Statements(const std::string& text) {
    std::string body;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t b = line.find_first_not_of(" \t\r");
        if (b != std::string::npos && line.compare(b, 2, "--") == 0) continue;
        body += line + "\n";
    }
    std::vector<std::string> out;
    std::string cur;
    char close = 0;
    for (char c : body) {
        if (close) {
            if (c == close) close = 0;
        } else if (c == '\'' || c == '"') {
            close = c;
        } else if (c == '[') {
            close = ']';
        } else if (c == ';') {
            out.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c;
    }
    out.push_back(cur);
    std::vector<std::string> kept;
    for (const std::string& s : out) {
        const std::size_t b = s.find_first_not_of(" \t\r\n");
        if (b != std::string::npos) kept.push_back(s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1));
    }
    return kept;
}

std::string Folder(const std::string& hostPath) {
    return hostPath.substr(0, hostPath.find_last_of('/') + 1);
}

std::string ReadHost(const std::string& hostPath) {
    return platform::ReadAllBytes(platform::WindowsPath(hostPath));
}

// Splits "word rest" at the first blank.
std::pair<std::string, std::string> Word(const std::string& s) {
    const std::size_t p = s.find_first_of(" \t");
    if (p == std::string::npos) return {s, ""};
    return {s.substr(0, p), s.substr(s.find_first_not_of(" \t", p))};
}

} // namespace

void BuildFromManifest(dao::DBEngine& engine, const std::string& manifest, const std::string& path,
                       bool withDemo) {
    dao::Database db = engine.CreateDatabase(path);
    std::istringstream lines(ReadHost(manifest));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto [step, rest] = Word(line);
        if (step == "create" || step == "script" || (step == "demo" && withDemo)) {
            for (const std::string& st : Statements(ReadHost(Folder(manifest) + rest)))
                db.Execute(st);
        } else if (step == "property") {
            const auto [table, more] = Word(rest);
            const auto [name, value] = Word(more);
            dao::TableDef td = db.TableDefs()[table];
            td.Properties().Append(td.CreateProperty(name, dao::dbText, value));
        } else if (step == "querydef") {
            const auto [name, sql] = Word(rest);
            db.CreateQueryDef(name, sql).Close();
        }
    }
    db.Close();
}

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
