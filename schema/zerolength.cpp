// Zero-length permission: every text or memo field of the model makes its namesake in the archive accept
// zero-length text. The model's own value of the property is not looked at. The table's changes are
// written together, at the end.

#include <string>

#include "platform/text.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "schema/transazione.h"

namespace ledrana {

using namespace schema_detail;

void Confr_Abilitazerolenght(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2) {
    Transazione transazione(w.Db2);
    const int campi = TD1.Fields().Count();
    for (std::int16_t i = 0; i < campi; ++i) {
        const dao::Field F1 = TD1.Fields()[i];
        const dao::Properties proprieta = F1.Properties();
        const int n = proprieta.Count();
        for (std::int16_t j = 0; j < n; ++j) {
            const std::string P = proprieta[j].Name();
            const bool zeroLength = UCase(LeftChars(P, 10)) == "ALLOWZEROL";
            const bool testo = F1.Type() == dao::dbText || F1.Type() == dao::dbMemo;
            if (!(zeroLength && testo)) continue;
            // A field the archive lacks (its creation was declined) or a property that cannot be written
            // is reported as the steps report their failures; the next field is still examined.
            try {
                dao::Property p2 = TD2.Fields()[F1.Name()].Properties()[P];
                if (p2.Value() != dao::Variant(true)) {
                    p2.SetValue(dao::Variant(true));
                    w.runReport.Change(w.NomeDb2, ChangeKind::ZeroLengthAllowed, TD2.Name(), F1.Name());
                }
            } catch (const Error& e) {
                ReportStepError(w, "Confr_Abilitazerolenght", e,
                                "tabella " + TD2.Name() + LF + "field " + F1.Name());
                break;
            }
        }
    }
    transazione.Commit();
}

} // namespace ledrana
