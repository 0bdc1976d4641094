// Opening a database with the window's password list.

#include <string>

#include "platform/text.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "schema/working_copy.h"
#include "window/run_log.h"

namespace ledrana {
namespace schema_detail {

int PasswordListSlot(Aggiorna& w, const std::string& NomeDb) {
    const std::string nome = UCase(NomeDb);
    for (int i = 1; i <= w.NumDb; ++i) {
        if (w.NomiDb[i] == nome) return i;
    }
    if (w.NumDb >= Aggiorna::kMaxDb) {
        // The list keeps the first names it met; a later one is opened all the same, and its password
        // will be asked again next time.
        MemLog(w, "elenco password pieno (" + std::to_string(Aggiorna::kMaxDb) +
                      " archivi): la password di " + NomeDb + " non viene ricordata");
        return 0;
    }
    w.NumDb += 1;
    w.NomiDb[w.NumDb] = nome;
    w.PwdDb[w.NumDb] = "";
    return w.NumDb;
}

} // namespace schema_detail

using namespace schema_detail;

dao::Database ApreDb(Aggiorna& w, const std::string& NomeDb) {
    const int i = PasswordListSlot(w, NomeDb);
    std::string P = i > 0 ? w.PwdDb[i] : std::string();
    bool chiestaPassword = false;

    for (;;) {
        try {
            if (const auto refused = w.refusedArchives.find(UCase(NomeDb));
                refused != w.refusedArchives.end())
                throw refused->second;
            dao::Database db = Engine(w).OpenDatabase(OpeningPath(w, NomeDb), false, false, ";pwd=" + P);
            // A file in the Windows engine's format has just been converted: the log and the run's report
            // say so, once.
            for (const std::string& avviso : Engine(w).TakeConversionNotices()) {
                MemLog(w, avviso);
                w.runReport.Note(NomeDb, avviso);
            }
            if (i > 0) w.PwdDb[i] = P;
            return db;
        } catch (const Error& e) {
            const std::string errore =
                "Funz. ApreDb: err." + std::to_string(e.number()) + " " + e.description();
            if (e.number() == 3031) {
                if (chiestaPassword) {
                    if (w.dialogs.MsgBox("La Password immessa è errata: premere SI per ritentare", vbYesNo,
                                         "") != vbYes) {
                        w.dialogs.MsgBox("IMPOSSIBILE COMPLETARE L'AGGIORNAMENTO", vbOKOnly, "");
                        w.End();
                    }
                }
                chiestaPassword = true;
                P = w.dialogs.InputBox(w.Command2.caption + LF + " E' PROTETTA:  IMPOSTARE LA PASSWORD", "");
            } else if (e.number() == 429) {
                const std::string testo = "File " + NomeDb + errore + "\r\n\r\nSi consiglia di:\r\n" +
                                          "- RIAVVIARE IL COMPUTER\r\n" +
                                          "- NON ESEGUIRE ALTRE APPLICAZIONI E REINSTALLARE TESSARO";
                w.dialogs.MsgBox(testo, vbOKOnly, "");
                w.dialogs.MsgBox(testo, vbOKOnly, "");
                w.End();
            } else {
                w.dialogs.MsgBox("File " + NomeDb + LF + errore, vbOKOnly, "");
                return dao::Database();
            }
        }
    }
}

} // namespace ledrana
