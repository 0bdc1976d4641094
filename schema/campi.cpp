// Field definitions of a compared table: a field of the archive whose type, size or attributes differ
// from the model's is rebuilt with the model's definition, its values moved through a temporary field.
//
// The rebuild of one field is one transaction on the archive. Whatever fails in it, and a move that would
// lose values, rolls it back whole: the field keeps its old definition, values and indexes, the comparison
// is marked failed and the table's remaining fields are left as they are. Values that the new type only
// rounds, and the numbers that a counter takes anew, are journalled before the change; the run's report
// says where the journal is. The run log hears only of failures.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/text.h"
#include "schema/confronto.h"
#include "schema/conversioni.h"
#include "schema/helpers.h"
#include "schema/transazione.h"
#include "window/run_log.h"

namespace ledrana {

using namespace schema_detail;

namespace {

constexpr std::int32_t kContatore = dao::dbFixedField + dao::dbAutoIncrField; // 17

std::string Valori(std::int64_t n, const char* uno, const char* molti) {
    return std::to_string(n) + " " + (n == 1 ? uno : molti);
}

// True when the archive's table has a field of that name.
bool HaCampo(const dao::TableDef& TD2, const std::string& nome) {
    try {
        TD2.Fields()[nome];
        return true;
    } catch (const Error&) {
        return false;
    }
}

// The fields that name a row in the reports and in the journal: the primary key of the archive's table,
// else the model's, else the first unique index of the archive's table, else the model's; only indexes whose
// fields the archive has all of and that do not hold `senza` (a counter about to be numbered anew cannot name
// its own rows). None for a table without any: its rows are then named by their place.
std::vector<std::string> CampiChiave(const dao::TableDef& TD1, const dao::TableDef& TD2,
                                     const std::string& senza = {}) {
    const auto scegli = [&](const dao::Indexes& indici, bool primario) -> std::vector<std::string> {
        for (int i = 0; i < indici.Count(); ++i) {
            const dao::Index ix = indici[i];
            if (primario ? !ix.Primary() : !ix.Unique()) continue;
            std::vector<std::string> campi = IndexFieldNames(ix);
            bool adatti = !campi.empty();
            for (const std::string& c : campi)
                adatti = adatti && HaCampo(TD2, c) && !(senza.size() && SameName(c, senza));
            if (adatti) return campi;
        }
        return {};
    };
    std::vector<std::string> chiave = scegli(TD2.Indexes(), true);
    if (chiave.empty()) chiave = scegli(TD1.Indexes(), true);
    if (chiave.empty()) chiave = scegli(TD2.Indexes(), false);
    if (chiave.empty()) chiave = scegli(TD1.Indexes(), false);
    return chiave;
}

// The unique and primary indexes of the model's table that hold field N and that the index steps will
// make on the archive's table (every field of theirs is in it).
struct IndiceUnico {
    std::string nome;
    std::vector<std::string> campi;
};

std::vector<IndiceUnico> IndiciUnici(const dao::TableDef& TD1, const dao::TableDef& TD2,
                                     const std::string& N) {
    std::vector<IndiceUnico> out;
    const dao::Indexes indici = TD1.Indexes();
    for (int i = 0; i < indici.Count(); ++i) {
        const dao::Index ix = indici[i];
        if (!ix.Primary() && !ix.Unique()) continue;
        std::vector<std::string> campi = IndexFieldNames(ix);
        bool conN = false, tutti = true;
        for (const std::string& c : campi) {
            conN = conN || SameName(c, N);
            tutti = tutti && HaCampo(TD2, c);
        }
        if (conN && tutti) out.push_back({ix.Name(), std::move(campi)});
    }
    return out;
}

// A value as a unique index compares it: numbers by value whatever their type, texts without regard to
// the case of ASCII letters (the collation of text columns); empty for Null, which never collides.
std::optional<std::string> ValoreIndice(const dao::Variant& v) {
    using Kind = dao::Variant::Kind;
    switch (v.kind()) {
    case Kind::Empty:
    case Kind::Null:
        return std::nullopt;
    case Kind::String: {
        std::string s = "t";
        for (char c : v.RawString())
            s += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        return s;
    }
    case Kind::Binary:
        return "b" + v.RawString();
    default: {
        double d = v.ToDouble();
        if (d == 0) d = 0; // -0 and 0 are one key
        std::string s = "n";
        s.append(reinterpret_cast<const char*>(&d), sizeof d);
        return s;
    }
    }
}

// What the rebuild of one field would do to its values.
class Esame {
public:
    static constexpr std::size_t kEsempi = 5; // rows named in a refusal

    void Conta(Esito esito, const std::string& chiave, const dao::Variant& vecchio,
               const dao::Variant& nuovo) {
        if (esito == Esito::Invariato) return;
        if (esito == Esito::Registrato) {
            registrati.push_back({chiave, TestoValore(vecchio), TestoValore(nuovo)});
            return;
        }
        ++rifiutati_[esito];
        Esempio(chiave, vecchio);
    }
    void Collisione(const std::string& indice, const std::string& chiave, const dao::Variant& vecchio) {
        if (indiceCollisione_.empty()) indiceCollisione_ = indice;
        ++collisioni_;
        Esempio(chiave, vecchio);
    }
    // Throws the refusal, with the engine's number of the first kind of loss and every kind counted.
    void RifiutaSeServe(std::int32_t size) const {
        struct Tipo {
            Esito esito;
            int numero;
            const char* uno;
            const char* molti;
        };
        static constexpr Tipo tipi[] = {
            {Esito::Troncato, 3163, "valore verrebbe troncato", "valori verrebbero troncati"},
            {Esito::FuoriIntervallo, 3349, "valore è fuori dall'intervallo del nuovo tipo",
             "valori sono fuori dall'intervallo del nuovo tipo"},
            {Esito::Nullo, 3421, "valore non si può convertire nel nuovo tipo e andrebbe perso",
             "valori non si possono convertire nel nuovo tipo e andrebbero persi"},
            {Esito::LettoInParte, 3421,
             "testo verrebbe letto solo in parte come numero (cifre dopo il separatore perse)",
             "testi verrebbero letti solo in parte come numeri (cifre dopo il separatore perse)"},
            {Esito::Significato, 3421, "valore cambierebbe significato", "valori cambierebbero significato"},
        };
        int numero = 0;
        std::string perdite;
        for (const Tipo& t : tipi) {
            const auto it = rifiutati_.find(t.esito);
            if (it == rifiutati_.end()) continue;
            if (numero == 0) numero = t.numero;
            std::string frase = Valori(it->second, t.uno, t.molti);
            if (t.esito == Esito::Troncato) frase += " a " + std::to_string(size) + " caratteri";
            perdite += (perdite.empty() ? "" : "; ") + frase;
        }
        if (collisioni_ > 0) {
            if (numero == 0) numero = 3022;
            perdite += (perdite.empty() ? "" : "; ") +
                       Valori(collisioni_, "valore diventerebbe uguale a un altro",
                              "valori diventerebbero uguali ad altri") +
                       " nell'indice univoco " + indiceCollisione_;
        }
        if (numero == 0) return;
        std::string righe;
        for (const std::string& e : esempi_)
            righe += (righe.empty() ? "" : "; ") + e;
        throw Error(numero,
                    "Il campo non è stato cambiato perché il nuovo tipo perderebbe dei valori: " + perdite +
                        ". Prime righe: " + righe + ". Correggere questi valori e ripetere l'aggiornamento.");
    }

    std::vector<ValoreCambiato> registrati;
    bool valoreNellaChiave = false; // the rows' key holds the field: it names the value too

private:
    void Esempio(const std::string& chiave, const dao::Variant& vecchio) {
        if (esempi_.size() >= kEsempi) return;
        if (valoreNellaChiave) {
            esempi_.push_back(chiave);
            return;
        }
        const std::string valore = vecchio.kind() == dao::Variant::Kind::String
                                       ? "\"" + vecchio.RawString() + "\""
                                       : TestoValore(vecchio);
        esempi_.push_back(chiave + " valore " + valore);
    }

    std::map<Esito, std::int64_t> rifiutati_;
    std::int64_t collisioni_ = 0;
    std::string indiceCollisione_;
    std::vector<std::string> esempi_;
};

// The fields that name a row, looked up once for a whole walk.
std::vector<std::pair<std::string, dao::Field>> CampiRiga(const dao::Fields& campi,
                                                          const std::vector<std::string>& chiave) {
    std::vector<std::pair<std::string, dao::Field>> out;
    for (const std::string& c : chiave)
        out.emplace_back(c, campi[c]);
    return out;
}

// The name of the current row: its key fields and their values, or its place.
std::string NomeRiga(const std::vector<std::pair<std::string, dao::Field>>& chiave, std::int64_t riga) {
    if (chiave.empty()) return "riga " + std::to_string(riga);
    std::string s;
    for (const auto& [nome, campo] : chiave)
        s += (s.empty() ? "" : ", ") + nome + "=" + TestoValore(campo.Value());
    return s;
}

// The temporary field of a rebuild of N: N with "zz" after it, cut so that the name is one the engine takes.
std::string Temporaneo(const std::string& N) {
    return LeftChars(N, 62) + "zz";
}

// After the temporary field took N's values: judges every value of N against the one the temporary field
// received, and looks for rows that the converted values would make equal in a unique index of the model.
void Esamina(Esame& esame, dao::TableDef TD2, const std::string& N, int tipoVecchio, const dao::Field& F1,
             const std::vector<std::string>& chiave, const std::vector<IndiceUnico>& indici) {
    struct Visto {
        std::string vecchio; // the index key before the change
        std::string riga;    // the first row with that key after the change
        dao::Variant valore;
        bool contato = false;
    };
    std::vector<std::unordered_map<std::string, Visto>> visti(indici.size());

    // Only the fields the walk reads: the table's other computed fields are not worked out for every row.
    std::vector<std::string> letti{N, Temporaneo(N)};
    letti.insert(letti.end(), chiave.begin(), chiave.end());
    for (const IndiceUnico& ix : indici)
        letti.insert(letti.end(), ix.campi.begin(), ix.campi.end());
    dao::Recordset rs = TD2.OpenRecordset(letti, dao::dbOpenSnapshot);
    const dao::Fields campi = rs.Fields();
    // Fields are looked up once: the recordset's own fields follow its current row.
    const dao::Field campoVecchio = campi[N], campoNuovo = campi[Temporaneo(N)];
    const auto campiRiga = CampiRiga(campi, chiave);
    std::vector<std::vector<std::optional<dao::Field>>> campiIndici; // no field for N itself
    for (const IndiceUnico& ix : indici) {
        campiIndici.emplace_back();
        for (const std::string& c : ix.campi)
            campiIndici.back().push_back(SameName(c, N) ? std::nullopt : std::optional<dao::Field>(campi[c]));
    }
    const int tipoNuovo = F1.Type();
    const std::int32_t size = F1.Size();
    std::int64_t riga = 0;
    for (; !rs.Eof(); rs.MoveNext()) {
        ++riga;
        const dao::Variant vecchio = campoVecchio.Value();
        const dao::Variant nuovo = campoNuovo.Value();
        const Esito esito = Giudica(vecchio, tipoVecchio, nuovo, tipoNuovo, size);
        if (esito != Esito::Invariato) esame.Conta(esito, NomeRiga(campiRiga, riga), vecchio, nuovo);

        for (std::size_t k = 0; k < indici.size(); ++k) {
            std::string chiaveNuova, chiaveVecchia;
            bool nullo = false;
            for (const std::optional<dao::Field>& campo : campiIndici[k]) {
                const std::optional<std::string> n = ValoreIndice(campo ? campo->Value() : nuovo);
                const std::optional<std::string> v = campo ? n : ValoreIndice(vecchio);
                if (!n || !v) {
                    nullo = true;
                    break;
                }
                chiaveNuova += std::to_string(n->size()) + ":" + *n;
                chiaveVecchia += std::to_string(v->size()) + ":" + *v;
            }
            if (nullo) continue;
            const std::string nome = NomeRiga(campiRiga, riga);
            auto [it, nuova] = visti[k].try_emplace(chiaveNuova, Visto{chiaveVecchia, nome, vecchio});
            // Rows that were already equal before the change are not made so by it.
            if (nuova || it->second.vecchio == chiaveVecchia) continue;
            if (!it->second.contato) {
                it->second.contato = true;
                esame.Collisione(indici[k].nome, it->second.riga, it->second.valore);
            }
            esame.Collisione(indici[k].nome, nome, vecchio);
        }
    }
    rs.Close();
}

// A free-standing field with the model's definition, set in the order Name, Type, Size, Attributes.
dao::Field NuovoField(const std::string& nome, const dao::Field& F1) {
    dao::Field f;
    f.SetName(nome);
    f.SetType(F1.Type());
    f.SetSize(F1.Size());
    f.SetAttributes(F1.Attributes());
    if (F1.Type() == dao::dbDecimal) {
        f.SetPrecision(F1.Precision());
        f.SetScale(F1.Scale());
    }
    return f;
}

// A counter's numbers before it is numbered anew, in the order of the table's rows: the engine numbers
// an appended counter in that same order, and the rows themselves do not move.
std::vector<dao::Variant> NumeriPrima(dao::TableDef TD2, const std::string& N) {
    std::vector<dao::Variant> numeri;
    dao::Recordset rs = TD2.OpenRecordset({N}, dao::dbOpenForwardOnly);
    const dao::Field campo = rs.Fields()[N];
    for (; !rs.Eof(); rs.MoveNext())
        numeri.push_back(campo.Value());
    rs.Close();
    return numeri;
}

// After a counter has taken new numbers: each row whose number changed, with its old one, in one walk of
// the table, named by its other key or its place.
void NumeriCambiati(Esame& esame, dao::TableDef TD2, const std::string& N,
                    const std::vector<dao::Variant>& prima, const std::vector<std::string>& chiave) {
    std::vector<std::string> letti{N};
    letti.insert(letti.end(), chiave.begin(), chiave.end());
    dao::Recordset rs = TD2.OpenRecordset(letti, dao::dbOpenForwardOnly);
    const dao::Fields campi = rs.Fields();
    const dao::Field dopo = campi[N];
    const auto campiRiga = CampiRiga(campi, chiave);
    std::size_t riga = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++riga) {
        // The rows are the ones read before the change: a different count means they are not.
        if (riga >= prima.size()) throw Error(3021, dao::JetErrorText(3021));
        const dao::Variant d = dopo.Value();
        if (prima[riga] != d)
            esame.Conta(Esito::Registrato, NomeRiga(campiRiga, static_cast<std::int64_t>(riga) + 1),
                        prima[riga], d);
    }
    rs.Close();
    if (riga != prima.size()) throw Error(3021, dao::JetErrorText(3021));
}

// Rebuilds field N with the model's definition, as one transaction. Before anything is kept, every value
// is judged: a loss refuses the rebuild (thrown, rolled back); values that are only rounded or lose
// precision or their time are written into the journal first. A counter takes the numbers that the engine
// gives a counter appended to a table with rows; each number that changes is journalled, named by the
// row's other key or its place, so that references to it can be put right.
void Ricostruisci(Aggiorna& w, const dao::TableDef& TD1, dao::TableDef& TD2, const dao::Field& F1,
                  const dao::Field& F2) {
    const std::string N = F1.Name();
    const std::string T = TD1.Name();
    const bool contatore = F1.Attributes() == kContatore;
    const int tipoVecchio = F2.Type();
    const std::int32_t oldSize = F2.Size();
    const std::int32_t oldAttributes = F2.Attributes();
    const bool daEsaminare = !contatore && !SenzaPerdite(tipoVecchio, F2.Size(), F1.Type(), F1.Size());
    std::vector<std::string> chiave;
    std::vector<IndiceUnico> indici;
    if (contatore) {
        chiave = CampiChiave(TD1, TD2, N);
    } else if (daEsaminare) {
        chiave = CampiChiave(TD1, TD2);
        indici = IndiciUnici(TD1, TD2, N);
    }

    Esame esame;
    for (const std::string& c : chiave)
        esame.valoreNellaChiave = esame.valoreNellaChiave || SameName(c, N);
    Transazione transazione(w.Db2);
    Confr_CancellaFieldInChiave(w, TD2, N);
    if (contatore) {
        // No field is added for the old numbers: they are read with the rows before the change and matched
        // with the new ones after it.
        const std::vector<dao::Variant> prima = NumeriPrima(TD2, N);
        TD2.Fields().Delete(N);
        TD2.Fields().Append(NuovoField(N, F1));
        NumeriCambiati(esame, TD2, N, prima, chiave);
    } else {
        const std::string temporaneo = Temporaneo(N);
        // A conversion that loses nothing needs no look at the values between the two steps below: where
        // the engine can, N takes the model's definition and its converted values in one change, with the
        // end state of those steps. Where the temporary field could not be appended (a name that is not
        // valid, or one a field has), the steps are taken, and fail on it.
        if (daEsaminare || !dao::IsValidName(temporaneo) || HaCampo(TD2, temporaneo) ||
            !TD2.ConvertField(NuovoField(N, F1))) {
            // The temporary field is appended and every row's takes N's value converted, as "update T set
            // Nzz=N" gives it, the fields named through the table rather than in SQL text. The rows take the
            // converted values at the compaction that follows the comparison.
            TD2.AppendFieldFrom(NuovoField(temporaneo, F1), N, dao::dbDeferWrite);
            w.Db2.Recordsets().Refresh();
            if (daEsaminare) Esamina(esame, TD2, N, tipoVecchio, F1, chiave, indici);
            esame.RifiutaSeServe(F1.Size());
            // The temporary field has the model's definition and the converted values, and it is the last
            // field: appending N again, copying the values back and deleting the temporary field would give
            // this same field under its own name, one place further on. N is deleted and the temporary
            // field takes its name in one change, which spares two rewrites of every row of the table.
            TD2.Fields().Replace(N, temporaneo);
        } else {
            w.Db2.Recordsets().Refresh();
        }
        dao::Field campo = TD2.Fields()[N];
        campo.SetOrdinalPosition(campo.OrdinalPosition() + 1);
    }
    // The journal is on disk before the change is: a journal that cannot be written refuses the change.
    const std::string diario = esame.registrati.empty() ? "" : ScriviDiario(w, T, N, esame.registrati);
    transazione.Commit();
    w.runReport.Change(w.NomeDb2, ChangeKind::FieldChanged, T, N,
                       FieldTypeText(tipoVecchio, oldSize, oldAttributes) + " → " +
                           FieldTypeText(F1.Type(), F1.Size(), F1.Attributes()));
    if (diario.empty()) return;
    const std::int64_t n = static_cast<std::int64_t>(esame.registrati.size());
    w.runReport.Change(w.NomeDb2, ChangeKind::ValuesJournalled, T, N, diario, n);
    w.runReport.Note(w.NomeDb2,
                     contatore ? "Tabella " + T + ", campo " + N +
                                     ": il contatore ha preso la numerazione data dal motore e " +
                                     Valori(n, "numero è cambiato", "numeri sono cambiati") +
                                     ". I numeri di prima e quelli nuovi, riga per riga, sono nel file " +
                                     diario + ": servono a correggere i riferimenti a queste righe."
                               : "Tabella " + T + ", campo " + N + ": il nuovo tipo del campo ha cambiato " +
                                     Valori(n, "valore (arrotondato, con meno cifre o senza l'ora)",
                                            "valori (arrotondati, con meno cifre o senza l'ora)") +
                                     ". I valori di prima e quelli nuovi sono nel file " + diario);
}

// After a rolled-back rebuild the collections are read again from the archive.
void RileggiTabella(dao::TableDef& TD2) {
    try {
        TD2.Fields().Refresh();
        TD2.Indexes().Refresh();
    } catch (const Error&) {
    }
}

} // namespace

void Confr_ModificaField(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2) {
    const int campi = TD1.Fields().Count();
    for (std::int16_t i = 0; i < campi; ++i) {
        const dao::Field F1 = TD1.Fields()[i];
        const std::string N = F1.Name();

        dao::Field F2;
        try {
            F2 = TD2.Fields()[N];
        } catch (const Error& e) {
            MemLog(w,
                   std::to_string(e.number()) + " " + e.description() + LF + "no esiste il field:" + N +
                       " sul secondo database",
                   true);
            continue;
        }

        try {
            if (F1.Type() == F2.Type() && F1.Size() == F2.Size() && F1.Attributes() == F2.Attributes())
                continue;
            if (w.Check2.value == 1) {
                const std::string testo =
                    "tabella " + TD1.Name() + " " + TD2.Name() + " campo " + F1.Name() + " " + F2.Name() +
                    " field diverso " + LF + "tipo " + VbStr(F1.Type()) + " - " + VbStr(F2.Type()) + LF +
                    "size " + VbStr(F1.Size()) + " - " + VbStr(F2.Size()) + LF + "attr " +
                    VbStr(F1.Attributes()) + " - " + VbStr(F2.Attributes()) + LF + " MODIFICO";
                if (w.dialogs.MsgBox(testo, vbYesNo, "Confr_ModificaField") != vbYes) continue;
            }
            Ricostruisci(w, TD1, TD2, F1, F2);
        } catch (const Error& e) {
            RileggiTabella(TD2);
            std::string nomeTabella;
            try {
                nomeTabella = TD2.Name();
            } catch (const Error&) {
            }
            const std::string text = std::string("Funz. Confr_ModificaField") + LF +
                                     std::to_string(e.number()) + " " + e.description() + LF + "tabella " +
                                     nomeTabella + LF + "field " + N;
            MemLog(w, text, true);
            w.runReport.Change(w.NomeDb2, ChangeKind::ChangeRefused, nomeTabella, N, text);
            w.ErroreConfronto = vbTrue;
            return; // the table's remaining fields are not looked at
        }
    }
}

} // namespace ledrana
