#include "bench/refdata/campione.h"

#include <fstream>
#include <stdexcept>
#include <vector>

#include "platform/error.h"
#include "platform/text.h"

namespace ledrana::bench {

namespace {

// The tables that the data fixes read or write.
const char* const kTabelle[] = {"anni",        "FATTURECLI",     "FATTURECLI_R", "ORDINIFOR",
                                "ORDINIFOR_R", "TIPIFATTURECLI", "CLIENTI",      "Articoli",
                                "MOVIMENTI",   "REGISTRIIVA",    "TOTALIIVA"};

struct Tabella {
    std::string nome;
    std::string create;
    std::vector<std::string> indici;
    std::vector<std::pair<std::string, std::string>> campi; // name, Jet definition
};

std::string Trim(const std::string& s) {
    const auto a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// The model's tables as its script defines them.
std::vector<Tabella> Modello() {
    std::ifstream in(std::string(LEDRANA_SOURCE_DIR) + "/model/db/cont32.sql");
    if (!in) throw std::runtime_error("model/db/cont32.sql not found");
    std::string text, line;
    while (std::getline(in, line))
        if (Trim(line).rfind("--", 0) != 0) text += line + "\n";
    std::vector<Tabella> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(';', start)) != std::string::npos; start = end + 1) {
        const std::string s = Trim(text.substr(start, end - start));
        const std::string u = UCase(s);
        if (u.rfind("CREATE TABLE ", 0) == 0) {
            Tabella t;
            t.nome = Trim(s.substr(13, s.find('(') - 13));
            t.create = s;
            const std::string corpo = s.substr(s.find('(') + 1, s.rfind(')') - s.find('(') - 1);
            int livello = 0;
            std::string voce;
            for (char c : corpo + ",") {
                if (c == '(') ++livello;
                if (c == ')') --livello;
                if (c == ',' && livello == 0) {
                    const std::string v = Trim(voce);
                    voce.clear();
                    if (v.empty() || UCase(v).rfind("CONSTRAINT", 0) == 0) continue;
                    const std::string nome = v.substr(0, v.find_first_of(" \t"));
                    const auto vincolo = UCase(v).find(" CONSTRAINT ");
                    t.campi.emplace_back(nome, vincolo == std::string::npos ? v : v.substr(0, vincolo));
                } else {
                    voce += c;
                }
            }
            out.push_back(std::move(t));
        } else if (u.rfind("CREATE ", 0) == 0 && u.find(" INDEX ") != std::string::npos) {
            const auto on = u.find(" ON ");
            const std::string tabella = Trim(s.substr(on + 4, s.find('(', on) - on - 4));
            for (Tabella& t : out)
                if (EqualsNoCase(t.nome, tabella)) t.indici.push_back(s);
        }
    }
    return out;
}

void ZeroLengthTexts(dao::TableDef td) {
    for (int i = 0; i < td.Fields().Count(); ++i) {
        dao::Field f = td.Fields()[i];
        if (f.Type() == dao::dbText || f.Type() == dao::dbMemo) f.SetAllowZeroLength(true);
    }
}

// A fixed sequence of pseudo-random numbers, so that every run writes the same archive.
struct Casuale {
    std::uint64_t stato = 20240601;
    int Tra(int lo, int hi) {
        stato = stato * 6364136223846793005ULL + 1442695040888963407ULL;
        return lo + static_cast<int>((stato >> 33) % static_cast<std::uint64_t>(hi - lo + 1));
    }
};

struct Riga {
    std::string conto, cfp;
    std::int64_t dare = 0, avere = 0; // cents
};

dao::Variant Centesimi(std::int64_t c) {
    return dao::Variant::FromCurrencyScaled(c * 100);
}

} // namespace

std::int64_t CreaCampione(dao::DBEngine& engine, const std::string& path, std::int64_t lines) {
    dao::Database db = engine.CreateDatabase(path);
    for (const Tabella& t : Modello()) {
        db.Execute(t.create);
        for (const std::string& i : t.indici)
            db.Execute(i);
        ZeroLengthTexts(db.TableDefs()[t.nome]);
    }

    const int anni[] = {2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010};
    {
        dao::Recordset rs = db.OpenRecordset("anni");
        for (int a : anni) {
            rs.AddNew();
            rs.Fields()["Anno"].SetValue(dao::Variant::FromInteger(static_cast<std::int16_t>(a)));
            rs.Fields()["ver"].SetValue(dao::Variant("027"));
            rs.Fields()["EURO"].SetValue(dao::Variant(true));
            rs.Update();
        }
        rs.Close();
    }
    {
        dao::Recordset rs = db.OpenRecordset("CLIENTI");
        for (int i = 1; i <= 1500; ++i) {
            rs.AddNew();
            rs.Fields()["Cod"].SetValue(dao::Variant("C" + std::to_string(10000 + i)));
            rs.Fields()["RagSoc"].SetValue(dao::Variant("Cliente " + std::to_string(i)));
            rs.Fields()["PREZZI123"].SetValue(dao::Variant::FromInteger(0));
            rs.Update();
        }
        rs.Close();
    }
    {
        dao::Recordset doc = db.OpenRecordset("FATTURECLI");
        dao::Recordset righe = db.OpenRecordset("FATTURECLI_R");
        for (int i = 1; i <= 3000; ++i) {
            const std::string cliente = "C" + std::to_string(10001 + i % 1500);
            // Older versions kept the client in CLIENTE only.
            const bool vecchia = i % 3 == 0;
            doc.AddNew();
            doc.Fields()["Tipo"].SetValue(dao::Variant("FT"));
            doc.Fields()["Anno"].SetValue(dao::Variant::FromInteger(static_cast<std::int16_t>(anni[i % 10])));
            doc.Fields()["Numero"].SetValue(dao::Variant(i));
            doc.Fields()["CLIFOR"].SetValue(dao::Variant(vecchia ? "" : cliente));
            doc.Fields()["CLIENTE"].SetValue(dao::Variant(vecchia ? cliente : ""));
            doc.Fields()["CFP"].SetValue(dao::Variant(vecchia ? "" : "C"));
            doc.Update();
            for (int r = 1; r <= 2; ++r) {
                righe.AddNew();
                righe.Fields()["IdFattura"].SetValue(dao::Variant(i));
                righe.Fields()["Riga"].SetValue(dao::Variant::FromInteger(static_cast<std::int16_t>(r)));
                righe.Fields()["CLIFOR"].SetValue(dao::Variant(vecchia ? "" : cliente));
                righe.Fields()["CLIENTE"].SetValue(dao::Variant(vecchia ? cliente : ""));
                righe.Update();
            }
        }
        doc.Close();
        righe.Close();
    }

    Casuale rnd;
    std::int64_t scritte = 0;
    dao::Recordset articoli = db.OpenRecordset("Articoli");
    dao::Recordset movimenti = db.OpenRecordset("MOVIMENTI");
    const dao::Fields a = articoli.Fields();
    const dao::Fields m = movimenti.Fields();
    const std::int64_t perAnno = lines / 10;
    for (int anno : anni) {
        std::int32_t numDoc = 0;
        for (std::int64_t annoScritte = 0; annoScritte < perAnno;) {
            ++numDoc;
            const int tipo = rnd.Tra(1, 100);
            const std::int64_t importo = rnd.Tra(1000, 300000), iva = importo / 5;
            const std::string cliente = "C" + std::to_string(rnd.Tra(10001, 11500));
            std::vector<Riga> r;
            std::string riva;
            if (tipo <= 35) { // sale
                riva = "V";
                r = {
                    {cliente, "C", importo + iva, 0}, {"400.010", "P", 0, importo}, {"170.030", "P", 0, iva}};
            } else if (tipo <= 60) { // purchase
                riva = "A";
                r = {{"500.010", "P", importo, 0}, {"170.020", "P", iva, 0}, {"F200", "F", 0, importo + iva}};
            } else if (tipo <= 67) { // daily takings
                riva = "C";
                r = {{"100.010", "P", importo + iva, 0},
                     {"400.010", "P", 0, importo},
                     {"170.030", "P", 0, iva}};
            } else if (tipo <= 80) { // receipt from one or two clients
                r = {{"100.040", "P", importo, 0}, {cliente, "C", 0, importo - iva}, {"C10001", "C", 0, iva}};
            } else if (tipo <= 92) { // payment
                r = {{"F200", "F", importo, 0}, {"100.040", "P", 0, importo}};
            } else { // salaries
                r = {{"530.010", "P", importo, 0},
                     {"530.020", "P", iva, 0},
                     {"190.010", "P", 0, importo},
                     {"180.010", "P", 0, iva}};
            }
            articoli.AddNew();
            a["Anno"].SetValue(dao::Variant::FromInteger(static_cast<std::int16_t>(anno)));
            a["NumDoc"].SetValue(dao::Variant(numDoc));
            a["Dt"].SetValue(dao::Variant::FromDate(anno, 1 + numDoc % 12, 1 + numDoc % 28));
            a["Descrizione"].SetValue(dao::Variant("Registrazione " + std::to_string(numDoc)));
            a["Riva"].SetValue(dao::Variant(riva));
            a["conto"].SetValue(dao::Variant(""));
            a["CFP"].SetValue(dao::Variant(""));
            a["ContoA"].SetValue(dao::Variant(""));
            a["CfpA"].SetValue(dao::Variant(""));
            articoli.Update();
            for (std::size_t p = 0; p < r.size(); ++p) {
                movimenti.AddNew();
                m["Anno"].SetValue(dao::Variant::FromInteger(static_cast<std::int16_t>(anno)));
                m["NumDoc"].SetValue(dao::Variant(numDoc));
                m["posi"].SetValue(dao::Variant::FromInteger(static_cast<std::int16_t>(p + 1)));
                m["conto"].SetValue(dao::Variant(r[p].conto));
                m["CFP"].SetValue(dao::Variant(r[p].cfp));
                m["ImpoDare"].SetValue(Centesimi(r[p].dare));
                m["ImpoAvere"].SetValue(Centesimi(r[p].avere));
                m["Descrizione"].SetValue(dao::Variant("Riga " + std::to_string(p + 1)));
                movimenti.Update();
            }
            annoScritte += static_cast<std::int64_t>(r.size());
            scritte += static_cast<std::int64_t>(r.size());
        }
    }
    articoli.Close();
    movimenti.Close();
    db.Close();
    return scritte;
}

void PreparaArchivio(dao::DBEngine& engine, const std::string& path) {
    dao::Database db = engine.OpenDatabase(path);
    const std::vector<Tabella> modello = Modello();
    for (const char* nome : kTabelle) {
        const Tabella* t = nullptr;
        for (const Tabella& x : modello)
            if (EqualsNoCase(x.nome, nome)) t = &x;
        if (!t) throw std::runtime_error(std::string("table not in the model: ") + nome);
        dao::TableDefs tabelle = db.TableDefs();
        bool esiste = false;
        for (int i = 0; i < tabelle.Count(); ++i)
            esiste = esiste || EqualsNoCase(tabelle[i].Name(), nome);
        if (!esiste) {
            db.Execute(t->create);
            for (const std::string& i : t->indici)
                db.Execute(i);
        } else {
            dao::TableDef td = tabelle[nome];
            for (const auto& [campo, definizione] : t->campi) {
                bool c = false;
                for (int i = 0; i < td.Fields().Count(); ++i)
                    c = c || EqualsNoCase(td.Fields()[i].Name(), campo);
                if (!c) db.Execute("ALTER TABLE " + t->nome + " ADD COLUMN " + definizione);
            }
            // The comparison gives the archive the model's indexes; one the archive has already stays.
            for (const std::string& i : t->indici) {
                try {
                    db.Execute(i);
                } catch (const ledrana::Error&) {
                }
            }
        }
        dao::TableDef td = db.TableDefs()[nome];
        ZeroLengthTexts(td);
        for (int i = 0; i < td.Fields().Count(); ++i) {
            dao::Field f = td.Fields()[i];
            if (f.Type() == dao::dbText || f.Type() == dao::dbMemo)
                db.Execute("UPDATE " + t->nome + " SET " + f.Name() + "='' WHERE " + f.Name() + " IS NULL");
        }
    }
    db.Close();
}

} // namespace ledrana::bench
