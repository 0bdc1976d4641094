// The indexes of a compared table: created when only the model has them, rebuilt when their fields,
// primary-key flag or uniqueness differ, deleted when only the archive has them.

#include <string>
#include <vector>

#include "schema/confronto.h"
#include "schema/helpers.h"
#include "window/run_log.h"

namespace ledrana {

using namespace schema_detail;

namespace {

// True when some index of `indici` has the name `nome` (upper case on both sides).
bool EsisteIndice(const dao::Indexes& indici, const std::string& nome) {
    const int n = indici.Count();
    for (int j = 0; j < n; ++j) {
        if (SameName(indici[j].Name(), nome)) return true;
    }
    return false;
}

// True when IX1 and IX2 differ in the set of their fields, their number, Primary or Unique. The order of
// the fields is not considered.
bool IndiciDiversi(const dao::Index& IX1, const dao::Index& IX2) {
    const dao::Fields campi1 = IX1.Fields();
    const dao::Fields campi2 = IX2.Fields();
    const int n1 = campi1.Count();
    const int n2 = campi2.Count();
    for (int j = 0; j < n1; ++j) {
        const std::string nome = campi1[j].Name();
        bool trovato = false;
        for (int k = 0; k < n2 && !trovato; ++k)
            trovato = SameName(campi2[k].Name(), nome);
        if (!trovato) return true;
    }
    if (n1 != n2) return true;
    if (IX1.Primary() != IX2.Primary()) return true;
    return IX1.Unique() != IX2.Unique();
}

} // namespace

void Confr_CreaChiavi(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2) {
    const dao::Indexes indici1 = TD1.Indexes();
    for (int i = 0; i < indici1.Count(); ++i) {
        const dao::Index IX1 = indici1[i];
        bool manca = !EsisteIndice(TD2.Indexes(), IX1.Name());
        if (w.Check2.value == 1 && manca) {
            const std::string testo =
                "tabella " + TD1.Name() + " non esiste chiave " + IX1.Name() + LF + "LA CREO ?";
            if (w.dialogs.MsgBox(testo, vbYesNo, "Confr_CreaChiavi") != vbYes) manca = false;
        }
        if (manca) {
            // Only the first field: Confr_ModificaChiavi, which runs next, completes the index.
            dao::Index nuovo = TD2.CreateIndex(IX1.Name());
            nuovo.Fields().Append(TD2.CreateField(IX1.Fields()[0].Name()));
            TD2.Indexes().Append(nuovo);
            // The index as it will stand once completed.
            w.runReport.Change(w.NomeDb2, ChangeKind::IndexCreated, TD1.Name(), IX1.Name(), IndexText(IX1));
        }
    }
}

void Confr_ModificaChiavi(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2) {
    std::string chiave; // the index being examined, for the report
    try {
        const dao::Indexes indici1 = TD1.Indexes();
        for (int i = 0; i < indici1.Count(); ++i) {
            const dao::Index IX1 = indici1[i];
            chiave = IX1.Name();
            const dao::Index IX2 = TD2.Indexes()[chiave];
            bool diverse = IndiciDiversi(IX1, IX2);
            if (w.Check2.value == 1 && diverse) {
                const std::string testo =
                    "tabella " + TD1.Name() + " chiave " + chiave + " diversa" + LF + "LA MODIFICO ? ";
                if (w.dialogs.MsgBox(testo, vbYesNo, "Confr_ModificaChiavi") != vbYes) diverse = false;
            }
            if (!diverse) continue;

            const std::string prima = IndexText(IX2);
            TD2.Indexes().Delete(IX2.Name());
            dao::Index nuovo = TD2.CreateIndex(chiave);
            const dao::Fields campi1 = IX1.Fields();
            for (int j = 0; j < campi1.Count(); ++j)
                nuovo.Fields().Append(TD2.CreateField(campi1[j].Name()));
            nuovo.SetPrimary(IX1.Primary());
            nuovo.SetUnique(IX1.Unique());
            TD2.Indexes().Append(nuovo);
            TD2.Indexes().Refresh();
            w.runReport.Change(w.NomeDb2, ChangeKind::IndexRebuilt, TD1.Name(), chiave,
                               prima + " → " + IndexText(IX1));
        }
    } catch (const Error& e) {
        std::string nomeTabella;
        try {
            nomeTabella = TD2.Name();
        } catch (const Error&) {
        }
        const std::string text = std::string("Funz. Confr_ModificaChiavi") + LF + std::to_string(e.number()) +
                                 " " + e.description() + LF + "tabella " + nomeTabella + LF + "CHIAVE " +
                                 chiave;
        MemLog(w, text, true);
        w.runReport.Change(w.NomeDb2, ChangeKind::ChangeRefused, nomeTabella, chiave, text);
        w.ErroreConfronto = vbTrue;
    }
}

void Confr_VerificaChiaviInPiuSuSecondoDB(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2) {
    // A table holds at most 32 indexes, so the list never needs more than the 30 places it was given;
    // it simply grows if it ever does.
    std::vector<std::string> daEliminare;
    const dao::Indexes indici2 = TD2.Indexes();
    for (int i = 0; i < indici2.Count(); ++i) {
        const dao::Index IX2 = indici2[i];
        if (EsisteIndice(TD1.Indexes(), IX2.Name())) continue;
        int risposta = vbYes;
        if (w.Check2.value == 1) {
            const std::string testo = std::string("ATTENZIONE ") + LF + "sulla tabella " + TD2.Name() +
                                      "  del secondo database " + LF + "esiste la chiave " + IX2.Name() + LF +
                                      "che sulla tabella del primo database non esiste" + LF + "ELIMINO ?";
            risposta =
                w.dialogs.MsgBox(testo, vbYesNo + vbDefaultButton2, "Confr_VerificaChiaviInPiuSuSecondoDB");
        }
        if (risposta == vbYes) daEliminare.push_back(IX2.Name());
    }
    for (const std::string& nome : daEliminare) {
        TD2.Indexes().Delete(nome);
        w.runReport.Change(w.NomeDb2, ChangeKind::IndexRemoved, TD2.Name(), nome);
    }
}

void Confr_CancellaFieldInChiave(Aggiorna& w, dao::TableDef TD2, const std::string& CAMPO) {
    for (;;) {
        const dao::Indexes indici = TD2.Indexes();
        std::string trovato;
        const int n = indici.Count();
        for (int i = 0; i < n && trovato.empty(); ++i) {
            const dao::Index ix = indici[i];
            const dao::Fields campi = ix.Fields();
            for (int j = 0; j < campi.Count(); ++j) {
                if (SameName(campi[j].Name(), CAMPO)) {
                    trovato = ix.Name();
                    break;
                }
            }
        }
        if (trovato.empty()) break;
        TD2.Indexes().Delete(trovato); // the collection has changed: scan it again from the start
    }
    TD2.Indexes().Refresh();
}

} // namespace ledrana
