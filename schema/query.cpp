// Saved queries: the second database gets the queries of the first, by name without regard to case, with
// their SQL text.

#include <string>
#include <vector>

#include "platform/text.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "schema/recovery.h"

namespace ledrana {

using namespace schema_detail;

namespace {

bool HaQuery(const dao::Database& db, const std::string& nome) {
    dao::QueryDefs query = db.QueryDefs();
    const int n = query.Count();
    for (int i = 0; i < n; ++i) {
        if (SameName(query[i].Name(), nome)) return true;
    }
    return false;
}

} // namespace

void Confr_CreaQueryDef(Aggiorna& w, dao::QueryDef QD1, dao::Database& DbDest) {
    if (HaQuery(DbDest, QD1.Name())) return;
    if (w.Check2.value == 1) {
        if (w.dialogs.MsgBox("la query " + QD1.Name() + " non esiste: la creo", vbYesNo,
                             "Confr_CreaQueryDef") != vbYes)
            return;
    }
    // Created with a name, the query is stored at once.
    DbDest.CreateQueryDef(QD1.Name(), QD1.SQL()).Close();
    w.runReport.Change(w.NomeDb2, ChangeKind::QueryCreated, "", QD1.Name());
}

void Confr_ModificaQueryDef(Aggiorna& w, dao::QueryDef QD1, dao::QueryDef& QD2) {
    if (UCase(QD1.SQL()) == UCase(QD2.SQL())) return;
    if (w.Check2.value == 1) {
        w.dialogs.MsgBox("la query " + QD1.Name() + " e variata(forse!): la modifico", vbOKOnly,
                         "Confr_ModificaQueryDef");
    }
    const std::string prima = QD2.SQL();
    w.Db2.QueryDefs().Delete(QD2.Name());
    QD2 = w.Db2.CreateQueryDef(QD1.Name(), QD1.SQL());
    QD2.Close();
    w.runReport.Change(w.NomeDb2, ChangeKind::QueryChanged, "", QD1.Name(), QD1.SQL());
    w.runReport.ChangedFrom(w.NomeDb2, prima);
}

void Confr_VerificaQueryInPiuSuSecondoDB(Aggiorna& w) {
    std::vector<std::string> daEliminare;
    dao::QueryDefs query2 = w.Db2.QueryDefs();
    const int n = query2.Count();
    for (int i = 0; i < n; ++i) {
        const std::string nome = query2[i].Name();
        if (HaQuery(w.Db1, nome)) continue;
        int risposta = vbYes;
        if (w.Check2.value == 1) {
            risposta = w.dialogs.MsgBox(std::string("ATTENZIONE ") + LF + "sul secondo database la query " +
                                            nome + "  del secondo database " + LF +
                                            "non esiste sul primo database " + LF + "ELIMINO ?",
                                        vbYesNo + vbDefaultButton2, "Confr_VerificaQueryInPiuSuSecondoDB");
        }
        if (risposta == vbYes) daEliminare.push_back(nome);
    }
    for (const std::string& nome : daEliminare) {
        // The query's text is kept beside the archive first; without that copy it stays.
        const std::string copia = KeepQuery(w, w.Db2.QueryDefs()[nome]);
        w.Db2.QueryDefs().Delete(nome);
        w.runReport.Change(w.NomeDb2, ChangeKind::QueryRemoved, "", nome);
        if (!copia.empty()) w.runReport.Note(w.NomeDb2, copia);
    }
    w.Db2.Close();
    w.Db2 = ApreDb(w, w.NomeDb2);
}

} // namespace ledrana
