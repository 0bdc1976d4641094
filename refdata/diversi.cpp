// The counterpart summary of the journal entries: the account of each side, or "DIVERSI" when a side has
// several lines with an amount.

#include <string>

#include "refdata/helpers.h"
#include "refdata/refdata.h"
#include "schema/confronto.h"

namespace ledrana {

using namespace refdata_detail;

dao::Variant TestNulls(const dao::Variant& value) {
    return value.IsNull() ? dao::Variant("") : value;
}

namespace {

// An amount as a condition: true when non-zero; Null counts as false.
bool HaImporto(const dao::Variant& importo) {
    return !importo.IsNull() && importo.ToBoolean();
}

// One side of an entry: the first line with an amount names the account; a second one makes it "DIVERSI".
// A line whose account is empty leaves the side as if it had not been seen.
struct Contropartita {
    std::string conto;
    std::string tipo;

    void Riga(const dao::Field& contoRiga, const dao::Field& cfpRiga) {
        if (conto.empty()) {
            conto = contoRiga.Value().ToString(); // a Null account is an error (94)
            tipo = cfpRiga.Value().ToString();
        } else {
            conto = "DIVERSI";
            tipo = "";
        }
    }
};

} // namespace

bool AggiornaDiversi(Aggiorna& w, const std::string& NomeDb) {
    try {
        dao::Database db = ApreDb(w, NomeDb);
        dao::Recordset articoli = db.OpenRecordset("select * from articoli order by anno,numdoc");
        const dao::Fields articolo = articoli.Fields();
        const dao::Field riva = articolo["Riva"];
        const dao::Field numDoc = articolo["NumDoc"];
        const dao::Field annoArticolo = articolo["Anno"];
        dao::Field contoDare = articolo["conto"];
        dao::Field cfpDare = articolo["CFP"];
        dao::Field contoAvere = articolo["ContoA"];
        dao::Field cfpAvere = articolo["CfpA"];

        while (!articoli.Eof()) {
            if (Amp(TestNulls(riva.Value())).empty()) {
                Contropartita dare, avere;
                dao::Recordset movimenti =
                    db.OpenRecordset("select * from movimenti where NumDoc=" + Amp(numDoc.Value()) +
                                     " and anno=" + Amp(annoArticolo.Value()) + " order by posi");
                const dao::Fields riga = movimenti.Fields();
                const dao::Field impoDare = riga["ImpoDare"];
                const dao::Field impoAvere = riga["ImpoAvere"];
                const dao::Field conto = riga["conto"];
                const dao::Field cfp = riga["CFP"];
                for (; !movimenti.Eof(); movimenti.MoveNext()) {
                    if (HaImporto(impoDare.Value())) dare.Riga(conto, cfp);
                    if (HaImporto(impoAvere.Value())) avere.Riga(conto, cfp);
                }
                movimenti.Close();

                articoli.Edit();
                contoDare.SetValue(dao::Variant(dare.conto));
                cfpDare.SetValue(dao::Variant(dare.tipo));
                contoAvere.SetValue(dao::Variant(avere.conto));
                cfpAvere.SetValue(dao::Variant(avere.tipo));
                articoli.Update();
            }
            articoli.MoveNext();
        }
        articoli.Close();
        db.Close();
        return true;
    } catch (const Error&) {
        // The caller reports the failure; entries saved so far stay changed.
        return false;
    }
}

} // namespace ledrana
