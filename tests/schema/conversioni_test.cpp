// What a field rebuild does to each value, over every pair of types a rebuild can meet: unchanged values,
// values that are changed and journalled, values whose loss refuses the rebuild.

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>
#include <set>

#include "platform/files.h"
#include "tests/schema/fixture.h"

namespace ledrana::testing {
namespace {

using dao::Variant;

const Variant N = Variant::Null();

struct Tipo {
    const char* nome;
    int type;
    std::int32_t size; // in the archive (source) and, for Text, 10 in the model (target)
    std::vector<Variant> valori;
};

// Edge values of each type: largest and smallest, fractions and halves, dates before 1900 and with times,
// texts of the exact size and with digits and separators, Null.
const std::vector<Tipo>& Tipi() {
    using V = std::vector<Variant>;
    const auto I = Variant::FromInteger;
    const auto C = Variant::FromCurrency;
    const auto S = Variant::FromSingle;
    const auto D = [](int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
        return Variant::FromDate(y, m, d, h, mi, s);
    };
    const auto Dec = [](const dao::Decimal& d) { return Variant::FromDecimal(d); };
    static const std::vector<Tipo> tipi = {
        {"BOOL", dao::dbBoolean, 0, V{true, false, N}},
        {"BYTE", dao::dbByte, 0, V{Variant::FromByte(255), Variant::FromByte(0), N}},
        {"INT", dao::dbInteger, 0, V{I(-32768), I(32767), I(5), N}},
        {"LONG", dao::dbLong, 0,
         V{Variant::FromLong(INT32_MIN), Variant::FromLong(INT32_MAX), 5, 16777217, N}},
        {"CUR", dao::dbCurrency, 0, V{C(9e14), C(-9e14), C(2.5), C(-1.5), C(1.2346), N}},
        {"SNG", dao::dbSingle, 0, V{S(FLT_MAX), S(-FLT_MAX), S(0.5f), S(2.5f), S(0.1f), N}},
        {"DBL", dao::dbDouble, 0, V{DBL_MAX, -DBL_MAX, 3.7, 2.5, -1.5, 1.234567, 16777217.0, N}},
        {"DATA", dao::dbDate, 0,
         V{D(100, 1, 1), D(9999, 12, 31, 23, 59, 59), D(1850, 6, 15), D(1850, 6, 15, 18), D(2026, 12, 7, 18),
           N}},
        {"TESTO", dao::dbText, 20,
         V{"", "12", "12,5", "1.234", "abc", "True", "0123456789", "01234567890", "01/02/2003", N}},
        {"MEMO", dao::dbMemo, 0, V{std::string(300, 'x'), "12", "", N}},
        {"BIN", dao::dbBinary, 20,
         V{Variant::FromBinary("0123456789"), Variant::FromBinary("01234567890"), N}},
        {"LBIN", dao::dbLongBinary, 0,
         V{Variant::FromBinary(std::string(300, 'b')), Variant::FromBinary("ab"), N}},
        {"GUID", dao::dbGUID, 0, V{"{6F9619FF-8B86-D011-B42D-00C04FC964FF}", N}},
        // Decimal(18, 0): 18 digits, more than a Double holds.
        {"DEC", dao::dbDecimal, 0,
         V{Dec(*dao::Decimal::Parse("999999999999999999")), Dec(dao::Decimal::FromInt(-5)),
           Dec(dao::Decimal::FromInt(3)), N}},
    };
    return tipi;
}

// For each pair, the fate of each value of the source type, in order: U unchanged, R changed and
// journalled, X lost (the rebuild is refused). One row per source type: "TARGET:fates" for each target.
// Bytes stay bytes: any other change of theirs is refused.
const std::map<std::string, std::string>& Attesi() {
    static const std::map<std::string, std::string> attesi = [] {
        const std::vector<std::pair<std::string, std::string>> righe = {
            {"BOOL", "BYTE:XUU INT:UUU LONG:UUU CUR:UUU SNG:UUU DBL:UUU DATA:UUU TESTO:UUU MEMO:UUU"},
            {"BYTE", "BOOL:XUU INT:UUU LONG:UUU CUR:UUU SNG:UUU DBL:UUU DATA:UUU TESTO:UUU MEMO:UUU"},
            {"INT",
             "BOOL:XXXU BYTE:XXUU LONG:UUUU CUR:UUUU SNG:UUUU DBL:UUUU DATA:UUUU TESTO:UUUU MEMO:UUUU"},
            {"LONG", "BOOL:XXXXU BYTE:XXUXU INT:XXUXU CUR:UUUUU SNG:URURU DBL:UUUUU DATA:XXUXU TESTO:XUUUU "
                     "MEMO:UUUUU GUID:XXXXU DEC:UUUUU"},
            {"CUR", "BOOL:XXXXXU BYTE:XXRXRU INT:XXRRRU LONG:XXRRRU SNG:RRUURU DBL:UUUUUU DATA:XXUUUU "
                    "TESTO:XXUUUU MEMO:UUUUUU DEC:UURRRU"},
            {"SNG", "BOOL:XXXXXU BYTE:XXRRRU INT:XXRRRU LONG:XXRRRU CUR:XXUURU DBL:UUUUUU DATA:XXUUUU "
                    "TESTO:XXUUUU MEMO:RRUUUU"},
            {"DBL", "BOOL:XXXXXXXU BYTE:XXRRXRXU INT:XXRRRRXU LONG:XXRRRRUU CUR:XXUUURUU SNG:XXRUURRU "
                    "DATA:XXUUUUXU TESTO:XXUUUUUU MEMO:RRUUUUUU DEC:XXRRRRUU"},
            {"DATA", "BOOL:XXXXXU BYTE:XXXXXU INT:XXURXU LONG:URURRU CUR:URUUUU SNG:URUUUU DBL:UUUUUU "
                     "TESTO:UXUXXU MEMO:UUUUUU"},
            {"TESTO", "BOOL:RXXXXUXXXU BYTE:RUXXXXXXXU INT:RUXXXXXXXU LONG:RUXXXXRRXU CUR:RURUXXRRXU "
                      "SNG:RURXXXXXXU DBL:RURUXXRRXU DATA:RXXXXXXXUU TESTO:UUUUUUUXUU MEMO:UUUUUUUUUU "
                      "GUID:RXXXXXXXXU DEC:RUXXXXRRXU"},
            {"MEMO", "BOOL:XXRU BYTE:XURU INT:XURU LONG:XURU CUR:XURU SNG:XURU DBL:XURU DATA:XXRU TESTO:XUUU "
                     "GUID:XXRU"},
            {"BIN", "BIN:UXU LBIN:UUU TESTO:XXU MEMO:XXU LONG:XXU"},
            {"LBIN", "BIN:XUU MEMO:XXU"},
            {"GUID", "TESTO:XU MEMO:UU LONG:XU"},
            {"DEC", "CUR:XUUU DBL:RUUU LONG:XUUU TESTO:XUUU MEMO:UUUU"},
        };
        std::map<std::string, std::string> out;
        for (const auto& [da, voci] : righe) {
            for (std::size_t a = 0, b; a < voci.size(); a = b + 1) {
                b = std::min(voci.find(' ', a), voci.size());
                const std::size_t due = voci.find(':', a);
                out[da + " " + voci.substr(a, due - a)] = voci.substr(due + 1, b - due - 1);
            }
        }
        return out;
    }();
    return attesi;
}

// The same value for the accountant: equal texts, or equal numbers (a date within a millisecond).
bool StessoValore(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    try {
        if (a.ToString() == b.ToString()) return true;
    } catch (const Error&) {
    }
    try {
        return std::fabs(a.ToDouble() - b.ToDouble()) < 1e-8;
    } catch (const Error&) {
        return false;
    }
}

class Conversioni : public SchemaTest {
protected:
    std::vector<Variant> Valori(const std::string& tabella) {
        std::vector<Variant> out;
        dao::Recordset rs = w.Db2.OpenRecordset("select * from " + tabella + " order by ID");
        for (; !rs.Eof(); rs.MoveNext())
            out.push_back(rs.Fields()["V"].Value());
        rs.Close();
        return out;
    }
    // The journal's rows without the header, each split at ";" (no field here needs quotes; the CR goes and
    // a ";" ends the last field).
    std::vector<Strings> Diario() {
        std::vector<Strings> righe;
        if (w.DiarioConversioni.empty()) return righe;
        std::istringstream testo(platform::ReadAllBytes(w.DiarioConversioni));
        std::string riga;
        std::getline(testo, riga);
        while (std::getline(testo, riga)) {
            std::istringstream campi(riga.substr(0, riga.size() - 1) + ";");
            righe.emplace_back();
            for (std::string campo; std::getline(campi, campo, ';');)
                righe.back().push_back(campo);
        }
        return righe;
    }
};

TEST_F(Conversioni, EveryValueOfEveryPairIsUnchangedJournalledOrRefused) {
    // One table per pair, in one model and one archive: P_<source>_<target> with ID (the key) and V.
    std::vector<TableSpec> modello, archivio;
    std::vector<std::pair<const Tipo*, const Tipo*>> coppie;
    for (const Tipo& da : Tipi()) {
        for (const Tipo& a : Tipi()) {
            const std::string chiave = std::string(da.nome) + " " + a.nome;
            if (!Attesi().count(chiave)) continue;
            const std::string nome = std::string("P_") + da.nome + "_" + a.nome;
            std::vector<std::vector<Variant>> righe;
            for (std::size_t i = 0; i < da.valori.size(); ++i)
                righe.push_back({static_cast<int>(i + 1), da.valori[i]});
            const IndexSpec pk{"PrimaryKey", {"ID"}, true, true};
            modello.push_back({nome,
                               {{"ID", dao::dbLong},
                                {"V", a.type, a.type == dao::dbText || a.type == dao::dbBinary ? 10 : 0}},
                               {pk}});
            archivio.push_back(
                {nome, {{"ID", dao::dbLong}, {"V", da.type, da.size, 0, true}}, {pk}, "", righe});
            coppie.emplace_back(&da, &a);
        }
    }
    ASSERT_EQ(coppie.size(), Attesi().size());
    MakeDatabase(model, modello);
    MakeDatabase(archive, archivio);
    OpenPair();

    for (std::size_t c = 0; c < coppie.size(); ++c) {
        const Tipo& da = *coppie[c].first;
        const Tipo& a = *coppie[c].second;
        const std::string tabella = modello[c].name;
        const std::string attesi = Attesi().at(std::string(da.nome) + " " + a.nome);
        SCOPED_TRACE(tabella + " " + attesi);
        ASSERT_EQ(attesi.size(), da.valori.size());
        const std::vector<Variant> prima = Valori(tabella);
        const std::size_t voci = LogEntries().size();
        const std::size_t righeDiario = Diario().size();
        const std::size_t note = w.runReport.notes().size();
        w.ErroreConfronto = vbFalse;

        Confr_ModificaField(w, w.Db1.TableDefs()[tabella], w.Db2.TableDefs()[tabella]);

        const Strings tutte = LogEntries();
        const Strings log(tutte.begin() + static_cast<long>(voci), tutte.end());
        const dao::Field V = w.Db2.TableDefs()[tabella].Fields()["V"];
        const std::vector<Variant> dopo = Valori(tabella);
        if (attesi.find('X') != std::string::npos) {
            // Refused: the field as it was, one report naming the first lost values' rows.
            EXPECT_EQ(V.Type(), da.type);
            EXPECT_EQ(dopo, prima);
            EXPECT_TRUE(w.ErroreConfronto);
            ASSERT_EQ(log.size(), 1u);
            EXPECT_TRUE(log[0].starts_with("Funz. Confr_ModificaField\n") &&
                        log[0].ends_with("\ntabella " + tabella + "\nfield V"))
                << log[0];
            int nominati = 0;
            for (std::size_t i = 0; i < attesi.size(); ++i) {
                const bool nominato =
                    log[0].find("ID=" + std::to_string(i + 1) + " valore") != std::string::npos;
                if (attesi[i] == 'X' && nominati < 5) {
                    EXPECT_TRUE(nominato) << "value " << i + 1 << ": " << log[0];
                    ++nominati;
                } else if (attesi[i] != 'X') {
                    EXPECT_FALSE(nominato) << "value " << i + 1 << ": " << log[0];
                }
            }
            EXPECT_EQ(Diario().size(), righeDiario);
            continue;
        }
        // Made: the model's type, every unchanged value the same, every changed one in the journal.
        EXPECT_EQ(V.Type(), a.type);
        EXPECT_FALSE(w.ErroreConfronto);
        ASSERT_EQ(dopo.size(), prima.size());
        std::set<std::string> giornale;
        const auto diario = Diario();
        for (std::size_t r = righeDiario; r < diario.size(); ++r) {
            ASSERT_EQ(diario[r].size(), 5u);
            EXPECT_EQ(diario[r][0], tabella);
            EXPECT_EQ(diario[r][2], "V");
            giornale.insert(diario[r][1]);
        }
        for (std::size_t i = 0; i < attesi.size(); ++i) {
            const std::string id = "ID=" + std::to_string(i + 1);
            EXPECT_EQ(giornale.count(id) == 1, attesi[i] == 'R')
                << "value " << i + 1 << " " << prima[i].Describe() << " -> " << dopo[i].Describe();
            // A zero-length text that a new text field does not take yet comes back from the Null pass.
            const bool vuoto = prima[i] == Variant("") && dopo[i].IsNull() &&
                               (a.type == dao::dbText || a.type == dao::dbMemo);
            if (attesi[i] == 'U' && !vuoto) {
                EXPECT_TRUE(StessoValore(prima[i], dopo[i]))
                    << prima[i].Describe() << " -> " << dopo[i].Describe();
            }
        }
        // A change that is made writes nothing to the log; the report names the journal.
        EXPECT_TRUE(log.empty());
        const bool nota = note < w.runReport.notes().size();
        EXPECT_EQ(nota, attesi.find('R') != std::string::npos);
        if (nota) {
            const std::string& testo = w.runReport.notes()[note].text;
            EXPECT_TRUE(testo.starts_with("Tabella " + tabella + ", campo V: ")) << testo;
            EXPECT_TRUE(testo.ends_with(w.DiarioConversioni)) << testo;
        }
    }
}

} // namespace
} // namespace ledrana::testing
