// The reference tables that the model databases ship: transport reasons, fixed categories, withholding
// taxes, banks. One walk serves the four; they differ in the table, a preparatory delete, which model rows
// they take and which fields they write.

#include <string_view>

#include "refdata/helpers.h"
#include "refdata/refdata.h"
#include "schema/confronto.h"

namespace ledrana {

using namespace refdata_detail;

namespace {

// Fills the new company row from the model row; false abandons the row (it is not saved).
using CopiaRiga = bool (*)(const dao::Fields& orig, const dao::Fields& dest);

bool OgniCampo(const dao::Fields& orig, const dao::Fields& dest) {
    for (int i = 0; i < orig.Count(); ++i) {
        const dao::Field campo = orig[i];
        dest[campo.Name()].SetValue(campo.Value());
    }
    return true;
}

bool CategoriaNonModificabile(const dao::Fields& orig, const dao::Fields& dest) {
    const dao::Variant nonModif = orig["NonModif"].Value();
    if (nonModif.IsNull() || !nonModif.ToBoolean()) return false;
    return OgniCampo(orig, dest);
}

bool Ritenuta(const dao::Fields& orig, const dao::Fields& dest) {
    dest["cod"].SetValue(orig["cod"].Value());
    dest["Descrizione"].SetValue(orig["Descrizione"].Value());
    dest["perc"].SetValue(orig["perc"].Value());
    dest["conto"].SetValue(dao::Variant(""));
    dest["causale"].SetValue(dao::Variant(""));
    return true;
}

struct Membro {
    std::string_view tabella;
    std::string_view funz;         // the procedure's name in its report, with the trailing blank
    std::string_view preparazione; // run on the company archive before the copy; empty for none
    bool soloTabellaVuota;         // copy only into a company table without rows
    CopiaRiga copia;
};

void CopiaDati(Aggiorna& w, const Membro& m, const std::string& NomeDbOrig, const std::string& NomeDbDest) {
    try {
        dao::Database dbOrig = ApreDb(w, NomeDbOrig);
        dao::Database dbDest = ApreDb(w, NomeDbDest);
        if (!m.preparazione.empty()) dbDest.Execute(m.preparazione);
        dao::Recordset rsOrig = dbOrig.OpenRecordset(m.tabella);
        dao::Recordset rsDest = dbDest.OpenRecordset(m.tabella);
        if (!m.soloTabellaVuota || rsDest.Eof()) {
            while (!rsOrig.Eof()) {
                try {
                    rsDest.AddNew();
                    if (m.copia(rsOrig.Fields(), rsDest.Fields())) rsDest.Update();
                } catch (const Error& e) {
                    // The company already has this row: it keeps its own.
                    if (e.number() != 3022) throw;
                }
                DiscardPending(rsDest);
                rsOrig.MoveNext();
            }
        }
        rsOrig.Close();
        rsDest.Close();
    } catch (const Error& e) {
        ReportCopyError(w, e, m.funz, NomeDbOrig, NomeDbDest);
    }
}

} // namespace

void CopiaDatiCodiciCausaliTrasporto(Aggiorna& w, const std::string& NomeDbOrig,
                                     const std::string& NomeDbDest) {
    CopiaDati(w, {"CodiciCausaliTrasporto", "funz. CopiaDatiCodiciCausaliTrasporto ", "", false, OgniCampo},
              NomeDbOrig, NomeDbDest);
}

void CopiaDatiCategorieFisse(Aggiorna& w, const std::string& NomeDbOrig, const std::string& NomeDbDest) {
    CopiaDati(w, {"Categorie", "funz. CopiaDatiCategorieFisse ", "", false, CategoriaNonModificabile},
              NomeDbOrig, NomeDbDest);
}

void CopiaDatiRitenute(Aggiorna& w, const std::string& NomeDbOrig, const std::string& NomeDbDest) {
    CopiaDati(w, {"Ritenute", "funz. CopiaDatiRitenute ", "", true, Ritenuta}, NomeDbOrig, NomeDbDest);
}

void CopiaDatiBanche(Aggiorna& w, const std::string& NomeDbOrig, const std::string& NomeDbDest) {
    CopiaDati(w,
              {"BANCHE", "funz. CopiaDatiBanche ", "delete * from BANCHE where contocorrente='123456789/99'",
               false, OgniCampo},
              NomeDbOrig, NomeDbDest);
}

} // namespace ledrana
