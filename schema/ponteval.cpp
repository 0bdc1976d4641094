// The comparison driver: checks the pair, opens it, runs the steps for every table and saved query, and
// compacts the second database when nothing failed.

#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "schema/recovery.h"
#include "schema/working_copy.h"
#include "window/run_log.h"

namespace ledrana {

using namespace schema_detail;

namespace {

// The company whose archive is compared: the selected INI file of File1 without its ".ini".
std::string NomeDitta(const Aggiorna& w) {
    const std::string file = w.File1.FileName();
    const std::size_t n = CharCount(file);
    return LeftChars(file, n >= 4 ? n - 4 : 0);
}

// Runs one step of a pass. The steps that trap nothing let their errors through (a table or query the user
// declined, an object the engine refuses); such an error is reported the way the steps' own handlers report
// theirs, the failure flag is set, and the pass goes on with the next step. Returns false after an error.
template <class Step>
bool Passo(Aggiorna& w, std::string_view procedura, const std::string& oggetto, Step&& step) {
    try {
        step();
        return true;
    } catch (const Error& e) {
        ReportStepError(w, procedura, e, oggetto);
        return false;
    }
}

// Ending without success (also after Confr_Verifica said no).
bool FineSenzaSuccesso(Aggiorna& w) {
    w.FrameAttendere.visible = false;
    w.Refresh(w.FrameAttendere);
    w.RefreshWindow();
    w.Command2.caption = "Esegui";
    w.Refresh(w.Command2);
    return false;
}

bool NonEseguito(Aggiorna& w) {
    MemLog(w, "    ----->ponteval NON ESEGUITO" + w.NomeDb1 + " -> " + w.NomeDb2);
    // What the comparison did stays done: its copy takes the archive's place.
    EndWorkingCopy(w);
    return FineSenzaSuccesso(w);
}

void PassoTabella(Aggiorna& w, dao::TableDef TD1) {
    const std::string nome = TD1.Name();
    const std::string tabella = "tabella " + nome;
    w.Label3.caption = nome;
    // A table that could not be created has nothing for the other steps to work on.
    if (!Passo(w, "Confr_CreaTabella", tabella, [&] { Confr_CreaTabella(w, TD1, w.Db2); })) return;

    dao::TableDef TD2;
    if (!Passo(w, "Ponteval", tabella, [&] { TD2 = w.Db2.TableDefs()[nome]; })) return;

    Passo(w, "Confr_CreaField", tabella, [&] { Confr_CreaField(w, TD1, TD2, false); });
    Passo(w, "Confr_ModificaField", tabella, [&] { Confr_ModificaField(w, TD1, TD2); });
    Passo(w, "Confr_Abilitazerolenght", tabella, [&] { Confr_Abilitazerolenght(w, TD1, TD2); });
    std::vector<std::string> restatiNull;
    Passo(w, "Confr_VerificaCampiNull1", tabella, [&] { restatiNull = Confr_VerificaCampiNull1(w, TD2); });
    Passo(w, "Confr_CreaChiavi", tabella, [&] { Confr_CreaChiavi(w, TD1, TD2); });
    Passo(w, "Confr_ModificaChiavi", tabella, [&] { Confr_ModificaChiavi(w, TD1, TD2); });
    Passo(w, "Confr_VerificaChiaviInPiuSuSecondoDB", tabella,
          [&] { Confr_VerificaChiaviInPiuSuSecondoDB(w, TD1, TD2); });
    Passo(w, "Confr_VerificaFieldInPiuSuSecondoDB", tabella,
          [&] { Confr_VerificaFieldInPiuSuSecondoDB(w, TD1, TD2); });
    // A field left with Nulls that the Null pass could not replace fails the comparison, unless the pass
    // has deleted it since.
    for (const std::string& campo : restatiNull) {
        try {
            TD2.Fields()[campo];
            w.ErroreConfronto = vbTrue;
        } catch (const Error&) {
        }
    }
}

void PassoQuery(Aggiorna& w, dao::QueryDef QD1) {
    const std::string nome = QD1.Name();
    const std::string query = "query " + nome;
    w.Label3.caption = "qd:" + nome;
    if (!Passo(w, "Confr_CreaQueryDef", query, [&] { Confr_CreaQueryDef(w, QD1, w.Db2); })) return;

    dao::QueryDef QD2;
    if (!Passo(w, "Ponteval", query, [&] { QD2 = w.Db2.QueryDefs()[nome]; })) return;
    Passo(w, "Confr_ModificaQueryDef", query, [&] { Confr_ModificaQueryDef(w, QD1, QD2); });
}

void PassoTabellaFissa(Aggiorna& w, dao::TableDef TD1) {
    const std::string nome = TD1.Name();
    w.Label3.caption = "qd:" + nome;
    dao::TableDef TD2;
    if (!Passo(w, "Ponteval", "tabella " + nome, [&] { TD2 = w.Db2.TableDefs()[nome]; })) return;
    // A table without the property, or any error of the copy, ends this table's work without a word.
    try {
        if (TD1.Properties()["description"].Value() == dao::Variant("fissa")) {
            Confr_CopiaDatiTabella(w, TD1, TD2);
        }
    } catch (const Error&) {
    }
}

// The number of tables or queries of the first database; 0 after a reported error (no first database).
// Rows of the archive whose primary key holds a Null: kept and updated as they are, named in the report.
void NoteNullKeys(Aggiorna& w) {
    try {
        dao::TableDefs tabelle = w.Db2.TableDefs();
        for (int i = 0; i < tabelle.Count(); ++i) {
            dao::TableDef t = tabelle[i];
            if (t.Attributes() != 0) continue;
            if (const std::int64_t n = t.NullKeyRows())
                w.runReport.Note(w.NomeDb2, "Tabella " + t.Name() + ": " + std::to_string(n) +
                                                (n == 1 ? " riga ha" : " righe hanno") +
                                                " la chiave primaria vuota (Null); conservate come sono.");
        }
    } catch (const Error&) {
    }
}

// Before the archive is opened for its comparison: it is reserved for this run (which undoes half of a
// change that a program stopped in the middle of), and its first bytes are looked at without opening it.
// Nothing else is written, to the archive or its folder. A Jet file is converted here, once the pair check
// has let the comparison go on. The errors go to the driver's trap of the opening.
void ReserveArchive(Aggiorna& w) {
    w.archiveReservation.Release();
    if (!w.engine) return; // no engine: ApreDb says so and ends the program
    w.archiveReservation = w.engine->Reserve(w.NomeDb2);
    if (w.archiveReservation.UndidHalfMadeChange()) w.runReport.NoteUndoneChange(w.NomeDb2);
    const FileKind kind = KindOfFile(w.NomeDb2);
    if (kind == FileKind::Other) throw Error(3343, dao::JetErrorText(3343, w.NomeDb2));
    if (kind == FileKind::Jet) {
        std::string password;
        if (const int i = PasswordListSlot(w, w.NomeDb2); i > 0) password = w.PwdDb[i];
        try {
            w.engine->ConvertInPlace(w.NomeDb2, ";pwd=" + password);
        } catch (const Error& e) {
            if (e.number() != 3031) throw; // the password is asked when the archive is opened
        }
    }
    StartWorkingCopy(w);
}

// What the user can do about an archive that could not be used, for the run's report: the log has had the
// engine's number and text.
void NoteUnusableArchive(Aggiorna& w, const Error& e) {
    std::string advice;
    switch (e.number()) {
    case 3045:
    case 3356:
    case 3211:
    case 3008:
        advice = "L'archivio è aperto in un altro programma o su un altro computer e non è stato modificato. "
                 "Quando l'archivio sarà libero, eseguire di nuovo l'aggiornamento.";
        break;
    case 3051:
        advice =
            "L'archivio o la sua cartella non si possono scrivere (sola lettura, o permessi della "
            "cartella): l'archivio non è stato modificato. Dare il permesso di scrittura sul file e sulla "
            "sua cartella, poi eseguire di nuovo l'aggiornamento.";
        break;
    case 61:
        advice = "Nella cartella dell'archivio non c'è lo spazio per lavorare su una copia: l'archivio non è "
                 "stato modificato. Liberare spazio sul disco, poi eseguire di nuovo l'aggiornamento.";
        break;
    default:
        advice = "Il file non è un archivio utilizzabile e non è stato modificato. Verificare che sia un "
                 "archivio di Tessaro (o ripristinarlo da una copia di sicurezza), poi eseguire di nuovo "
                 "l'aggiornamento.";
    }
    w.runReport.Note(w.NomeDb2, std::to_string(e.number()) + " " + e.description() + ". " + advice);
}

template <class Count> int Conta(Aggiorna& w, Count&& count) {
    int n = 0;
    Passo(w, "Ponteval", "database " + w.NomeDb1, [&] { n = count(); });
    return n;
}

void Chiudi(Aggiorna& w, dao::Database& db, const std::string& nome) {
    Passo(w, "Ponteval", "database " + nome, [&] {
        if (db.IsOpen()) db.Close();
    });
    db = dao::Database();
}

} // namespace

bool Confr_Verifica(Aggiorna& w) {
    bool risultato = true;
    const std::string nome1 = UCase(w.NomeDb1);
    const std::string nome2 = UCase(w.NomeDb2);
    // All three are always examined, in this order.
    static constexpr struct {
        const char* X;
        const char* avviso;
    } controlli[] = {
        {"CONT32.MDB", "ATTENZIONE: IL SECONDO DATABASE NON E' CONT32.MDB"},
        {"SCAD32.MDB", "ATTENZIONE: IL SECONDO DATABASE NON E' SCAD32.MDB"},
        {"MAG.MDB", "ATTENZIONE: IL SECONDO DATABASE NON E' MAG.MDB"},
    };
    for (const auto& [X, testo] : controlli) {
        if (nome1.find(X) == std::string::npos || nome2.find(X) != std::string::npos) continue;
        const std::string avviso = testo;
        const int risposta = w.dialogs.MsgBox(avviso + LF + "proseguo ?", vbYesNo + vbDefaultButton2, "");
        MemLog(w, avviso + LF + "proseguo ? " + std::to_string(risposta));
        if (risposta != vbYes) risultato = false;
    }
    return risultato;
}

bool Ponteval(Aggiorna& w) {
    if (!Confr_Verifica(w)) {
        // Nothing is changed: a Jet file stays as it is, unconverted, so the steps after the comparison
        // cannot work on it either.
        try {
            if (KindOfFile(w.NomeDb2) == FileKind::Jet)
                w.refusedArchives.insert_or_assign(
                    UCase(w.NomeDb2),
                    Error(3051, "L'archivio '" + w.NomeDb2 +
                                    "' è nel formato di Access e resta com'è: il confronto non è stato "
                                    "eseguito, quindi non è stato convertito."));
        } catch (const Error&) {
        }
        return FineSenzaSuccesso(w);
    }

    const std::string ditta = NomeDitta(w);
    w.Command2.caption = "Ditta: " + ditta;
    w.Refresh(w.Command2);
    w.ErroreConfronto = vbFalse;
    w.DiarioConversioni.clear();
    // The recovery archive of what this comparison deletes is this comparison's alone.
    struct EndRecovery {
        Aggiorna& w;
        ~EndRecovery() { CloseRecovery(w); }
    } endRecovery{w};
    // A comparison left by an error that nothing traps, or by the end of the program, leaves the archive as
    // it was.
    struct EndWorkingCopyGuard {
        Aggiorna& w;
        ~EndWorkingCopyGuard() { DropWorkingCopy(w); }
    } endWorkingCopy{w};
    // A database that ApreDb could not open has been reported in its box: no step can work without it.
    w.Db1 = ApreDb(w, w.NomeDb1);
    if (!w.Db1.IsOpen()) return NonEseguito(w);
    w.Label10.caption = ditta;
    try {
        ReserveArchive(w);
        w.Db2 = ApreDb(w, w.NomeDb2);
    } catch (const Error& e) {
        if (e.number() != 3024) MemLog(w, VbStr(e.number()) + e.description(), true);
        NoteUnusableArchive(w, e);
        w.refusedArchives.insert_or_assign(UCase(w.NomeDb2), e);
        return FineSenzaSuccesso(w);
    }
    if (!w.Db2.IsOpen()) {
        DropWorkingCopy(w); // nothing was changed
        return NonEseguito(w);
    }
    // The compaction at the end writes every table: the indexes the comparison adds are built there.
    w.Db2.DeferIndexBuilds(true);
    NoteNullKeys(w);

    // Table pass: ordinary local tables only (system, hidden and attached ones are never compared).
    const int tabelle = Conta(w, [&] { return w.Db1.TableDefs().Count(); });
    for (int i = 0; i < tabelle; ++i) {
        dao::TableDef TD1;
        if (!Passo(w, "Ponteval", "database " + w.NomeDb1, [&] { TD1 = w.Db1.TableDefs()[i]; })) continue;
        if (TD1.Attributes() != 0) continue;
        PassoTabella(w, TD1);
    }

    const int query = Conta(w, [&] { return w.Db1.QueryDefs().Count(); });
    for (int i = 0; i < query; ++i) {
        dao::QueryDef QD1;
        if (!Passo(w, "Ponteval", "database " + w.NomeDb1, [&] { QD1 = w.Db1.QueryDefs()[i]; })) continue;
        PassoQuery(w, QD1);
    }

    Passo(w, "Confr_VerificaQueryInPiuSuSecondoDB", "database " + w.NomeDb2,
          [&] { Confr_VerificaQueryInPiuSuSecondoDB(w); });
    Passo(w, "Confr_VerificaTabelleInPiuSuSecondoDB", "database " + w.NomeDb2,
          [&] { Confr_VerificaTabelleInPiuSuSecondoDB(w); });

    // Fixed-table pass.
    const int fisse = Conta(w, [&] { return w.Db1.TableDefs().Count(); });
    for (int i = 0; i < fisse; ++i) {
        dao::TableDef TD1;
        if (!Passo(w, "Ponteval", "database " + w.NomeDb1, [&] { TD1 = w.Db1.TableDefs()[i]; })) continue;
        if (TD1.Attributes() != 0) continue;
        PassoTabellaFissa(w, TD1);
    }

    if (w.ErroreConfronto) return NonEseguito(w);

    Chiudi(w, w.Db1, w.NomeDb1);
    Chiudi(w, w.Db2, w.NomeDb2);
    CompattaArchivio(w, w.NomeDb2);
    w.Command2.caption = "Esegui";
    w.Refresh(w.Command2);
    return true;
}

} // namespace ledrana
