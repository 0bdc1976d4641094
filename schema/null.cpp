// Null normalisation: every Null of a compared table of the archive becomes the neutral value of its
// field's type, row by row through a recordset. The engine groups the saved rows into few disk writes.

#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "schema/confronto.h"
#include "schema/helpers.h"

namespace ledrana {

using namespace schema_detail;

namespace {

// Days from 30 December 1899 to 1 January 1980.
constexpr int kPrimoGennaio1980 = 29221;

// The value that takes the place of Null in a field of this type; Empty for a type without one.
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

std::string Elenco(const std::vector<std::string>& nomi) {
    std::string s;
    for (const std::string& nome : nomi)
        s += (s.empty() ? "" : ", ") + nome;
    return s;
}

} // namespace

void Confr_VerificaCampiNull1(Aggiorna& w, dao::TableDef TD2) {
    const std::string tabella = TD2.Name();
    dao::Recordset rs;
    try {
        rs = w.Db2.OpenRecordset("select * from " + tabella);
    } catch (const Error& e) {
        // For example a table name with a blank, which the SQL text does not enclose.
        ReportStepError(w, "Confr_VerificaCampiNull1", e, "tabella " + tabella);
        return;
    }

    std::vector<std::string> sostituiti; // fields of the current row whose Null was replaced
    try {
        const dao::Fields campi = rs.Fields(); // the recordset's own collection, the same for every row
        while (!rs.Eof()) {
            rs.Edit();
            sostituiti.clear();
            const int n = campi.Count();
            for (std::int16_t i = 0; i < n; ++i) {
                dao::Field campo = campi[i];
                if (!campo.Value().IsNull()) continue;
                const dao::Variant neutro = ValoreNeutro(campo.Type());
                if (neutro.IsEmpty()) {
                    w.dialogs.MsgBox("Tipo non previsto su VerificaCampiNull1", vbOKOnly, "");
                    continue;
                }
                campo.SetValue(neutro);
                sostituiti.push_back(campo.Name());
            }
            rs.Update();
            rs.MoveNext();
        }
        rs.Close();
    } catch (const Error& e) {
        // A row that cannot be saved (a validation rule against the neutral value, a row held by another
        // user): the rows before it stay saved, this table's walk ends here.
        std::string oggetto = "tabella " + tabella;
        if (!sostituiti.empty()) oggetto += LF + ("field " + Elenco(sostituiti));
        try {
            if (rs.EditMode() != 0) rs.CancelUpdate();
            rs.Close();
        } catch (const Error&) {
        }
        ReportStepError(w, "Confr_VerificaCampiNull1", e, oggetto);
    }
}

} // namespace ledrana
