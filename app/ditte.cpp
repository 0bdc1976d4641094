// The company update: step 6 of the run.

#include "app/run.h"

#include "dao/dao.h"
#include "install/companyini.h"
#include "install/fileutil.h"
#include "install/immagini.h"
#include "install/inifile.h"
#include "platform/error.h"
#include "platform/text.h"
#include "refdata/refdata.h"
#include "schema/confronto.h"
#include "window/run_log.h"

namespace ledrana {

namespace {

// The company's name: the file name up to the first ".INI", in any case.
std::string NomeDitta(const std::string& file) {
    const auto pos = UCase(file).find(".INI");
    return pos == std::string::npos ? file : file.substr(0, pos);
}

// An archive named without a backslash lies in the company's own folder.
std::string PercorsoArchivio(const std::string& valore, const std::string& cartellaDitta) {
    return valore.find('\\') == std::string::npos ? cartellaDitta + "\\" + valore : valore;
}

void EsitoConfronto(Aggiorna& w, const std::string& file, bool aggiornato) {
    const std::string line = "ditta " + file + " database " + w.NomeDb2 +
                             (aggiornato ? " aggiornato" : " non aggiornato correttamente");
    MemLog(w, line, !aggiornato);
    w.runReport.ArchiveOutcome(w.NomeDb2, aggiornato, line);
}

// A data fix that failed: the archive is not wholly updated.
void DataFixFailed(Aggiorna& w, const std::string& line) {
    MemLog(w, line, true);
    w.runReport.ArchiveOutcome(w.NomeDb2, false, line);
}

// The password the list holds for a database ("" when none).
std::string PasswordNota(const Aggiorna& w, const std::string& nome) {
    for (int i = 1; i <= w.NumDb; ++i)
        if (w.NomiDb[i] == UCase(nome)) return w.PwdDb[i];
    return {};
}

// Before an archive is compared: reserves it for this run (no other program has it open or is inside a
// transaction on it) and looks at its first bytes: one of our archives or a Jet file goes on to the
// comparison, which opens it through ApreDb. When it cannot be had, one log line with a box says which
// archive, why and what to do; nothing has touched the archive, and the run will end incomplete.
bool ArchivioUtilizzabile(Aggiorna& w, const std::string& file, const std::string& archivio,
                          dao::FileReservation& riserva) {
    riserva.Release();
    if (!w.engine) return true; // no engine: ApreDb says so and ends the program
    try {
        riserva = w.engine->Reserve(archivio);
        const FileKind kind = KindOfFile(archivio);
        if (kind == FileKind::Other) throw Error(3343, dao::JetErrorText(3343, archivio));
        // A Jet file is brought into our format here, before the comparison, without being opened: one that
        // cannot be read (or that makes the reader die) is then one report like any archive that cannot be
        // used, not a failure of every step after it. Its password, when it has one, is asked by the
        // comparison.
        if (kind == FileKind::Jet) {
            try {
                w.engine->ConvertInPlace(archivio, ";pwd=" + PasswordNota(w, archivio));
            } catch (const Error& e) {
                if (e.number() != 3031) throw;
            }
            for (const std::string& avviso : w.engine->TakeConversionNotices()) {
                MemLog(w, avviso);
                w.runReport.Note(archivio, avviso);
            }
        }
        return true;
    } catch (const Error& e) {
        riserva.Release();
        w.runReport.ArchiveOutcome(
            archivio, false,
            "ditta " + file + " database " + archivio +
                " non aggiornato: l'archivio non è utilizzabile e non è stato modificato.");
        const bool inUso =
            e.number() == 3045 || e.number() == 3356 || e.number() == 3211 || e.number() == 3008;
        MemLog(w,
               "ditta " + file + " database " + archivio +
                   " non aggiornato: l'archivio non è utilizzabile e non è stato modificato.\n" +
                   std::to_string(e.number()) + " " + e.description() + "\n" +
                   (inUso ? "Quando l'archivio sarà libero, eseguire di nuovo l'aggiornamento."
                          : "Verificare che sia un archivio di Tessaro (o ripristinarlo da una copia di "
                            "sicurezza), poi eseguire di nuovo l'aggiornamento."),
               true);
        w.ArchivioSaltato = true;
        return false;
    }
}

// After the comparison: the compaction has put a new file in the archive's place, which is held again.
// Should another program have taken it meanwhile, the steps that follow meet it and report it themselves.
void RiprendiArchivio(Aggiorna& w, dao::FileReservation& riserva) {
    riserva.Release();
    if (!w.engine) return;
    try {
        riserva = w.engine->Reserve(w.NomeDb2);
    } catch (const Error&) {
    }
}

} // namespace

bool AggiornaDitte(Aggiorna& w) {
    const std::string modello = w.CartellaDefault.text;
    w.File1.SetPattern("*.ini");
    w.File1.SetPath(w.CartellaDati + "\\ledrana");
    const int n = w.File1.ListCount();

    for (int i = 0; i < n; ++i) {
        ProgressTick(w);
        w.File1.listIndex = i;
        const std::string file = w.File1.FileName();
        if (!ModificaFileIni(w, w.CartellaDati + "\\ledrana\\" + file)) return false;
        w.runReport.Company(file);

        const std::string cartellaDitta = w.CartellaDati + "\\" + NomeDitta(file);
        const std::string ini = w.CartellaDati + "\\LEDRANA\\" + file;
        w.NomeDb1 = modello + "\\" + "CONT32.MDB";
        w.NomeDb2 = PercorsoArchivio(readinifile(w, "Archivi", "Ledrana", ini), cartellaDitta);
        ImmaginiXProdotti(w, modello, w.NomeDb2, w.CartellaDati + "\\ledrana\\" + file);

        const std::string scadenzario =
            PercorsoArchivio(readinifile(w, "Archivi", "Scadenzario", ini), cartellaDitta);
        const bool esisteContabilita = EsisteFile(w, w.NomeDb2, true);
        const bool esisteScadenzario = EsisteFile(w, scadenzario, true);
        if (!esisteContabilita || !esisteScadenzario) {
            MemLog(w, "Impossibile aggiornare la ditta " + file, true);
            // Nothing is put back: what lies beside a missing archive is only described, for a person.
            if (!esisteContabilita) NoteFilesBesideMissingArchive(w, w.NomeDb2);
            if (!esisteScadenzario) NoteFilesBesideMissingArchive(w, scadenzario);
            continue;
        }

        // Each archive is held for this run from its check to the end of its work; the compaction replaces
        // the file, and the new one is held again.
        dao::FileReservation riserva;
        w.runReport.StartArchive(file, w.NomeDb2);
        if (ArchivioUtilizzabile(w, file, w.NomeDb2, riserva)) {
            EsitoConfronto(w, file, Ponteval(w));
            RiprendiArchivio(w, riserva);
            if (!AggiornaCampiVari(w, w.NomeDb2))
                DataFixFailed(w, "Agg.campi vari: ditta " + file + " database " + w.NomeDb2 +
                                     " non aggiornato correttamente");
            if (!AggiornaDiversi(w, w.NomeDb2))
                DataFixFailed(w, "Agg.DIVERSI ditta " + file + " database " + w.NomeDb2 +
                                     " non aggiornato correttamente");
            CopiaDatiCodiciCausaliTrasporto(w, w.NomeDb1, w.NomeDb2);
            CopiaDatiCategorieFisse(w, w.NomeDb1, w.NomeDb2);
            CopiaDatiRitenute(w, w.NomeDb1, w.NomeDb2);
            ModificaCausaliFisse(w, w.NomeDb2);
        }

        w.NomeDb1 = modello + "\\" + "SCAD32.MDB";
        w.NomeDb2 = PercorsoArchivio(readinifile(w, "Archivi", "Scadenzario", ini), cartellaDitta);
        w.runReport.StartArchive(file, w.NomeDb2);
        if (ArchivioUtilizzabile(w, file, w.NomeDb2, riserva)) {
            EsitoConfronto(w, file, Ponteval(w));
            RiprendiArchivio(w, riserva);
            CopiaDatiBanche(w, w.NomeDb1, w.NomeDb2);
        }
    }
    return true;
}

} // namespace ledrana
