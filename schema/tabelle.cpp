// Tables and fields: the second database gets the tables of the first, each second table the fields of
// its first table, by name without regard to case.

#include <string>
#include <vector>

#include "platform/text.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "schema/recovery.h"
#include "window/run_log.h"

namespace ledrana {

using namespace schema_detail;

namespace {

bool HaField(const dao::TableDef& td, const std::string& nome) {
    dao::Fields campi = td.Fields();
    const int n = campi.Count();
    for (int i = 0; i < n; ++i) {
        if (SameName(campi[i].Name(), nome)) return true;
    }
    return false;
}

bool HaTabella(const dao::Database& db, const std::string& nome) {
    dao::TableDefs tabelle = db.TableDefs();
    const int n = tabelle.Count();
    for (int i = 0; i < n; ++i) {
        if (SameName(tabelle[i].Name(), nome)) return true;
    }
    return false;
}

// The rows of a table about to be removed, for the report; -1 when they cannot be counted.
std::int64_t RowsOf(const dao::Database& db, const std::string& nome) {
    try {
        return db.TableDefs()[nome].RecordCount();
    } catch (const Error&) {
        return -1;
    }
}

} // namespace

void Confr_CreaTabella(Aggiorna& w, dao::TableDef TD1, dao::Database& DbDest) {
    // Every table of the second database counts here, system and attached ones included.
    if (HaTabella(DbDest, TD1.Name())) return;
    if (w.Check2.value == 1) {
        w.dialogs.MsgBox("la tabella " + TD1.Name() + " non esiste: la creo", vbOKOnly, "Confr_CreaTabella");
    }
    dao::TableDef nuova = DbDest.CreateTableDef(TD1.Name());
    Confr_CreaField(w, TD1, nuova, true);
    DbDest.TableDefs().Append(nuova);
    w.runReport.Change(w.NomeDb2, ChangeKind::TableCreated, TD1.Name());
    DbDest.Close();
    DbDest = ApreDb(w, w.NomeDb2);
}

void Confr_CreaField(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2, bool nuovo) {
    dao::Fields campi1 = TD1.Fields();
    const int n = campi1.Count();
    std::vector<dao::Field> nuovi; // of TD2, made as the fields of TD1 that it lacks
    std::vector<dao::Field> modelli;
    // The fields gathered so far, in one change of the table; those before one that cannot be added stay
    // added, and are reported, before its error goes on.
    const auto aggiungi = [&] {
        const auto riporta = [&] {
            if (nuovo) return;
            for (const dao::Field& F1 : modelli)
                if (HaField(TD2, F1.Name()))
                    w.runReport.Change(w.NomeDb2, ChangeKind::FieldCreated, TD1.Name(), F1.Name(),
                                       FieldTypeText(F1.Type(), F1.Size()));
        };
        try {
            TD2.Fields().Append(nuovi);
        } catch (const Error&) {
            riporta();
            throw;
        }
        riporta();
        nuovi.clear();
        modelli.clear();
    };
    // A field asked about is added before the next question, so that a field that cannot be added ends the
    // questions there.
    const bool chiede = w.Check2.value == 1 && !nuovo;
    for (int i = 0; i < n; ++i) {
        dao::Field F1 = campi1[i];
        bool esiste = HaField(TD2, F1.Name());
        if (chiede && !esiste) {
            const std::string domanda =
                "tabella " + TD1.Name() + " non esiste field " + F1.Name() + " lo creo";
            if (w.dialogs.MsgBox(domanda, vbYesNo, "") != vbYes) esiste = true;
        }
        if (!esiste) {
            // Name, type and size only: attributes, defaults and the other properties are the business of
            // the steps that follow.
            nuovi.push_back(TD2.CreateField(F1.Name(), F1.Type(), F1.Size()));
            modelli.push_back(F1);
            if (chiede) aggiungi();
        }
    }
    aggiungi();
}

void Confr_VerificaFieldInPiuSuSecondoDB(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2) {
    // The list of names to delete grows as needed (positions from 1, as the report counts them).
    std::vector<std::string> daEliminare{""};
    int i = 0;
    try {
        dao::Fields campi2 = TD2.Fields();
        const int n = campi2.Count();
        for (i = 0; i < n; ++i) {
            dao::Field F2 = campi2[i];
            if (HaField(TD1, F2.Name())) continue;
            int risposta = vbYes;
            if (w.Check2.value == 1) {
                risposta = w.dialogs.MsgBox(
                    std::string("ATTENZIONE ") + LF + "sulla tabella " + TD2.Name() +
                        "  del secondo database " + LF + "esiste il field " + F2.Name() + LF +
                        "che sulla tabella del primo database non esiste" + LF + "ELIMINO ?",
                    vbYesNo + vbDefaultButton2, "Confr_VerificaFieldInPiuSuSecondoDB");
            }
            if (risposta == vbYes) daEliminare.push_back(F2.Name());
        }
        const int elencati = static_cast<int>(daEliminare.size()) - 1;
        for (i = 1; i <= elencati; ++i) {
            // What the field holds is kept beside the archive first; without that copy it stays.
            const std::string copia = KeepField(w, TD2, daEliminare[i]);
            TD2.Fields().Delete(daEliminare[i]);
            w.runReport.Change(w.NomeDb2, ChangeKind::FieldRemoved, TD2.Name(), daEliminare[i]);
            if (!copia.empty()) w.runReport.Note(w.NomeDb2, copia);
        }
    } catch (const Error& e) {
        // The report names the field of TD2 at the loop counter's position, which while deleting is the
        // position in the list, not in the table; a position the table lacks names no field.
        std::string tabella, field;
        try {
            tabella = TD2.Name();
        } catch (const Error&) {
        }
        try {
            field = TD2.Fields()[i].Name();
        } catch (const Error&) {
        }
        const std::string text = "Funz. Confr_VerificaFieldInPiuSuSecondoDB" + std::string(LF) +
                                 std::to_string(e.number()) + " " + e.description() + LF + "tabella " +
                                 tabella + LF + "field " + field;
        MemLog(w, text, true);
        w.runReport.Change(w.NomeDb2, ChangeKind::ChangeRefused, tabella, field, text);
        w.ErroreConfronto = vbTrue;
    }
}

void Confr_VerificaTabelleInPiuSuSecondoDB(Aggiorna& w) {
    std::vector<std::string> daEliminare;
    dao::TableDefs tabelle2 = w.Db2.TableDefs();
    const int n = tabelle2.Count();
    for (int i = 0; i < n; ++i) {
        dao::TableDef T2 = tabelle2[i];
        if (HaTabella(w.Db1, T2.Name())) continue;
        const std::string connessione = T2.Connect();
        const std::string allegata = connessione.empty() ? "" : " (allegata da db " + connessione + ") ";
        int risposta = vbYes;
        if (w.Check2.value == 1) {
            risposta = w.dialogs.MsgBox(std::string("ATTENZIONE ") + LF + "sul secondo database la Tabella " +
                                            T2.Name() + "  del secondo database " + allegata + LF +
                                            "non esiste sul primo database " + LF + "ELIMINO ?",
                                        vbYesNo + vbDefaultButton2, "Confr_VerificaTabelleInPiuSuSecondoDB");
        }
        if (risposta == vbYes) daEliminare.push_back(T2.Name());
    }
    // The engine's own tables (and any name with those four letters) stay, whatever the answer.
    for (const std::string& nome : daEliminare) {
        if (UCase(nome).find("MSYS") != std::string::npos) continue;
        // What the table holds is kept beside the archive first; without that copy it stays.
        const std::int64_t rows = RowsOf(w.Db2, nome);
        const std::string copia = KeepTable(w, w.Db2.TableDefs()[nome]);
        w.Db2.TableDefs().Delete(nome);
        w.runReport.Change(w.NomeDb2, ChangeKind::TableRemoved, nome, "", "", rows);
        if (!copia.empty()) w.runReport.Note(w.NomeDb2, copia);
    }
    w.Db2.Close();
    w.Db2 = ApreDb(w, w.NomeDb2);
}

} // namespace ledrana
