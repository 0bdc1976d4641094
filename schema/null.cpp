// Null normalisation: every Null of a compared table of the archive becomes the neutral value of its
// field's type, row by row through a recordset. The engine groups the saved rows into few disk writes.
// A replacement that the table refuses (zero-length text where the field does not allow it...) leaves that
// one value Null: the row is saved with its other replacements and the walk goes on.

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/text.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "window/run_log.h"

namespace ledrana {

using namespace schema_detail;

namespace {

// Days from 30 December 1899 to 1 January 1980.
constexpr int kPrimoGennaio1980 = 29221;

} // namespace

dao::Variant ValoreNeutro(int tipo) {
    switch (tipo) {
    case dao::dbCurrency:
    case dao::dbDouble:
    case dao::dbInteger:
    case dao::dbLong:
    case dao::dbSingle:
        return dao::Variant(0);
    case dao::dbBoolean:
        return dao::Variant(false);
    case dao::dbDate:
        return dao::Variant(kPrimoGennaio1980);
    case dao::dbText:
    case dao::dbMemo:
        return dao::Variant("");
    default:
        return dao::Variant();
    }
}

namespace {

std::string Elenco(const std::vector<std::string>& nomi) {
    std::string s;
    for (const std::string& nome : nomi)
        s += (s.empty() ? "" : ", ") + nome;
    return s;
}

// A save refused because of a value written into it (zero-length text where the field does not allow it,
// a validation rule, a unique index that already holds the neutral value), not because of the row itself.
bool RifiutoDelValore(const Error& e) {
    switch (e.number()) {
    case 3022:
    case 3314:
    case 3315:
    case 3316:
    case 3317:
        return true;
    default:
        return false;
    }
}

// The replacements of one field that the table refused.
struct Rifiuto {
    std::int16_t posizione;
    std::string campo;
    Error errore;
    std::int64_t righe = 0;
};

class Rifiuti {
public:
    void Annota(std::int16_t posizione, const std::string& campo, const Error& e) {
        for (Rifiuto& r : elenco_) {
            if (r.posizione == posizione) {
                ++r.righe;
                return;
            }
        }
        elenco_.push_back({posizione, campo, e, 1});
    }
    // A field whose replacement the table refuses whatever the row holds: its Nulls stay without a try.
    void Escludi(std::int16_t posizione) { esclusi_.push_back(posizione); }
    bool Escluso(std::int16_t posizione) const {
        return std::find(esclusi_.begin(), esclusi_.end(), posizione) != esclusi_.end();
    }
    const Rifiuto* Di(std::int16_t posizione) const {
        for (const Rifiuto& r : elenco_)
            if (r.posizione == posizione) return &r;
        return nullptr;
    }
    const std::vector<Rifiuto>& elenco() const { return elenco_; }

private:
    std::vector<Rifiuto> elenco_;
    std::vector<std::int16_t> esclusi_;
};

// Once per table and field: which Nulls stayed, and why.
std::vector<std::string> Riporta(Aggiorna& w, const std::string& tabella, const Rifiuti& rifiuti) {
    std::vector<std::string> campi;
    for (const Rifiuto& r : rifiuti.elenco()) {
        const std::string text =
            std::string("Funz. Confr_VerificaCampiNull1") + LF + std::to_string(r.errore.number()) + " " +
            r.errore.description() + LF + "tabella " + tabella + LF + "field " + r.campo + LF +
            (r.righe == 1 ? "1 valore Null di questo campo è rimasto Null"
                          : std::to_string(r.righe) + " valori Null di questo campo sono rimasti Null") +
            ": il campo non accetta il valore che lo sostituisce. Gli altri campi delle stesse righe "
            "sono stati completati.";
        MemLog(w, text, true);
        w.runReport.Change(w.NomeDb2, ChangeKind::ChangeRefused, tabella, r.campo, text);
        campi.push_back(r.campo);
    }
    return campi;
}

} // namespace

std::vector<std::string> Confr_VerificaCampiNull1(Aggiorna& w, dao::TableDef TD2) {
    const std::string tabella = TD2.Name();
    // The rows are read through the table itself: no name of the archive stands in any SQL text.
    dao::Recordset rs;
    try {
        rs = TD2.OpenRecordset(dao::dbOpenDynaset);
    } catch (const Error& e) {
        // For example an attached table whose file is gone.
        ReportStepError(w, "Confr_VerificaCampiNull1", e, "tabella " + tabella);
        return {};
    }

    Rifiuti rifiuti;
    std::vector<std::string> sostituiti;           // fields of the current row whose Null was replaced
    std::map<std::string, std::int64_t> completed; // saved replacements per field, for the report
    try {
        // A field whose every Null takes the neutral value, whatever the row holds, has them completed at
        // once, without a row written; the walk saves the others row by row, and passes over a table that
        // has no Null left.
        std::vector<std::string> restanti; // the fields whose Nulls are replaced row by row
        {
            const dao::Fields campi = rs.Fields();
            std::vector<std::pair<std::string, int>> elenco;
            for (std::int16_t i = 0; i < campi.Count(); ++i)
                elenco.emplace_back(campi[i].Name(), campi[i].Type());
            rs.Close();
            std::vector<std::pair<std::string, dao::Variant>> neutri;
            for (const auto& [nome, tipo] : elenco)
                if (!ValoreNeutro(tipo).IsEmpty()) neutri.emplace_back(nome, ValoreNeutro(tipo));
            const std::vector<std::int64_t> fatti = TD2.FillNulls(neutri);
            for (const auto& [nome, tipo] : elenco) {
                std::int64_t n = -1;
                for (std::size_t k = 0; k < neutri.size(); ++k)
                    if (neutri[k].first == nome) n = fatti[k];
                if (n > 0) completed[nome] += n;
                // Counted when the values are stored: the compaction reports them.
                if (n < 0 && n != dao::kNullsCountedLater) restanti.push_back(nome);
            }
        }
        if (!restanti.empty()) {
            rs = TD2.OpenRecordset(dao::dbOpenDynaset);
            const dao::Fields campi = rs.Fields(); // the recordset's own collection, the same for every row
            std::vector<dao::Field> daGuardare;
            for (const std::string& nome : restanti)
                daGuardare.push_back(campi[nome]);
            std::vector<std::pair<std::int16_t, dao::Variant>> sostituzioni;
            while (!rs.Eof()) {
                // Only the rows with a Null in one of those fields are saved.
                if (std::none_of(daGuardare.begin(), daGuardare.end(),
                                 [](const dao::Field& f) { return f.Value().IsNull(); })) {
                    rs.MoveNext();
                    continue;
                }
                rs.Edit();
                sostituiti.clear();
                sostituzioni.clear();
                const int n = campi.Count();
                for (std::int16_t i = 0; i < n; ++i) {
                    dao::Field campo = campi[i];
                    if (!campo.Value().IsNull()) continue;
                    const dao::Variant neutro = ValoreNeutro(campo.Type());
                    if (neutro.IsEmpty()) {
                        w.dialogs.MsgBox("Tipo non previsto su VerificaCampiNull1", vbOKOnly, "");
                        w.runReport.NoteOnce(
                            "tipo:" + UCase(w.NomeDb2 + "|" + tabella + "|" + campo.Name()), w.NomeDb2,
                            "La finestra \"Tipo non previsto su VerificaCampiNull1\" riguarda la "
                            "tabella " +
                                tabella + ", campo " + campo.Name() + ", di tipo " +
                                FieldTypeText(campo.Type(), campo.Size(), campo.Attributes()) +
                                ": per questo tipo non c'è un valore con cui completare i Null, "
                                "che restano.");
                        continue;
                    }
                    if (rifiuti.Escluso(i)) {
                        rifiuti.Annota(i, campo.Name(), rifiuti.Di(i)->errore);
                        continue;
                    }
                    campo.SetValue(neutro);
                    sostituiti.push_back(campo.Name());
                    sostituzioni.emplace_back(i, neutro);
                }
                try {
                    rs.Update();
                    for (const std::string& c : sostituiti)
                        ++completed[c];
                } catch (const Error& e) {
                    if (!RifiutoDelValore(e) || sostituzioni.empty()) throw;
                    // One replacement at a time: those the table accepts are saved, the refused ones stay
                    // Null.
                    rs.CancelUpdate();
                    for (const auto& [i, neutro] : sostituzioni) {
                        rs.Edit();
                        campi[i].SetValue(neutro);
                        try {
                            rs.Update();
                            ++completed[campi[i].Name()];
                        } catch (const Error& rifiuto) {
                            if (!RifiutoDelValore(rifiuto)) throw;
                            rs.CancelUpdate();
                            rifiuti.Annota(i, campi[i].Name(), rifiuto);
                            if (rifiuto.number() == 3315) rifiuti.Escludi(i);
                        }
                    }
                }
                rs.MoveNext();
            }
            rs.Close();
        }
    } catch (const Error& e) {
        // A row that cannot be saved for itself (a row held by another user): the rows before it stay
        // saved, this table's walk ends here.
        std::string oggetto = "tabella " + tabella;
        if (!sostituiti.empty()) oggetto += LF + ("field " + Elenco(sostituiti));
        try {
            if (rs.EditMode() != 0) rs.CancelUpdate();
            rs.Close();
        } catch (const Error&) {
        }
        ReportStepError(w, "Confr_VerificaCampiNull1", e, oggetto);
    }
    for (const auto& [field, n] : completed)
        w.runReport.Change(w.NomeDb2, ChangeKind::NullsCompleted, tabella, field, "", n);
    return Riporta(w, tabella, rifiuti);
}

} // namespace ledrana
