// The three fixed posting causals of every VAT register, rebuilt from the register table.

#include <string>

#include "refdata/helpers.h"
#include "refdata/refdata.h"
#include "schema/confronto.h"

namespace ledrana {

using namespace refdata_detail;

namespace {

// The description of a register's causals by the register's type. A type outside the table (or Null) has
// none: its causals get the empty text.
std::string DescrizioneCausale(const dao::Variant& tipo) {
    const std::string t = Amp(tipo);
    if (t == "01") return "Fatture/Note cred. IVA Vendite";
    if (t == "02") return "Incassi corrispettivi";
    if (t == "03") return "Fatture/Note cred.IVA Acquisti";
    if (t == "04") return "Autofatt./rev.charge/Intrac.";
    if (t == "05") return "Fatt.passive rev.charge/Intra";
    if (t == "06") return "Fatture in sospensione IVA";
    if (t == "07") return "Corrispettivi(Ventilaz.su Acq)";
    return "";
}

} // namespace

void ModificaCausaliFisse(Aggiorna& w, const std::string& NomeDb) {
    try {
        dao::Database db = ApreDb(w, NomeDb);

        // A register's code is a value of the archive: it reaches the statement as its parameter, never
        // inside its text.
        dao::QueryDef elimina =
            db.CreateQueryDef("", "PARAMETERS Codice Text; Delete * from causali where cod=Codice");
        dao::Recordset registri = db.OpenRecordset("REGISTRIIVA");
        while (!registri.Eof()) {
            const std::string cod = Amp(registri.Fields()["cod"].Value());
            for (int i = 1; i <= 3; ++i) {
                elimina.Parameters()["Codice"].SetValue(dao::Variant(std::to_string(i) + cod));
                elimina.Execute();
            }
            registri.MoveNext();
        }
        registri.Close();

        registri = db.OpenRecordset("REGISTRIIVA");
        dao::Recordset causali = db.OpenRecordset("causali");
        while (!registri.Eof()) {
            const dao::Fields registro = registri.Fields();
            const std::string cod = Amp(registro["cod"].Value());
            const std::string descrizione = DescrizioneCausale(registro["Tipo"].Value());
            for (int i = 1; i <= 3; ++i) {
                try {
                    causali.AddNew();
                    const dao::Fields causale = causali.Fields();
                    causale["cod"].SetValue(dao::Variant(std::to_string(i) + cod));
                    causale["Descrizione"].SetValue(dao::Variant(descrizione));
                    causale["Ripete"].SetValue(dao::Variant(false));
                    causali.Update();
                } catch (const Error& e) {
                    // A code met twice (the same register in another year) is added once.
                    if (e.number() != 3022) throw;
                    DiscardPending(causali);
                }
            }
            registri.MoveNext();
        }
        registri.Close();
        causali.Close();
    } catch (const Error& e) {
        ReportCopyError(w, e, "funz. ModificaCausaliFisse ", w.NomeDb1, NomeDb);
    }
}

} // namespace ledrana
