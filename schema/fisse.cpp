// Fixed tables: the archive's rows of a fixed table are replaced by the model's, in one transaction, so
// that a copy that fails leaves the table with the rows it had.

#include <string>

#include "platform/dialogs.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "schema/transazione.h"

namespace ledrana {

using namespace schema_detail;

namespace {

void ChiudiInSilenzio(dao::Recordset& rs) {
    try {
        if (rs.impl() != nullptr) rs.Close();
    } catch (const Error&) {
    }
}

} // namespace

void Confr_CopiaDatiTabella(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2) {
    if (w.Check3.value == 0) {
        const std::string testo = "CONFERMA\n\r\n\r\n\rCopia i dati della tabella " + TD1.Name();
        if (w.dialogs.MsgBox(testo, vbYesNo + vbQuestion + vbDefaultButton2, "Confr_CopiaDatiTabella") !=
            vbYes)
            return;
    }

    // Any error goes on to the driver, which ends this table's work without a word, after the
    // recordsets are closed and the deletion and the rows saved so far are undone.
    Transazione transazione(w.Db2);
    dao::Recordset origine;
    dao::Recordset destinazione;
    std::int64_t rows = 0;
    try {
        // The tables are read and written through their definitions: no name stands in any SQL text.
        destinazione = TD2.OpenRecordset();
        for (; !destinazione.Eof(); destinazione.MoveNext())
            destinazione.Delete();
        origine = TD1.OpenRecordset();
        while (!origine.Eof()) {
            destinazione.AddNew();
            const dao::Fields campi = origine.Fields();
            const int n = campi.Count();
            for (std::int16_t i = 0; i < n; ++i) {
                const dao::Field campo = campi[i];
                destinazione.Fields()[campo.Name()].SetValue(campo.Value());
            }
            destinazione.Update();
            ++rows;
            origine.MoveNext();
        }
        origine.Close();
        destinazione.Close();
    } catch (const Error&) {
        ChiudiInSilenzio(origine);
        ChiudiInSilenzio(destinazione);
        throw; // the transaction rolls back as it goes out of scope
    }
    transazione.Commit();
    w.runReport.Change(w.NomeDb2, ChangeKind::FixedTableCopied, TD1.Name(), "", "", rows);
}

} // namespace ledrana
