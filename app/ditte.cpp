// The company update: step 6 of the run.

#include "app/run.h"

#include "dao/dao.h"
#include "install/companyini.h"
#include "install/fileutil.h"
#include "install/immagini.h"
#include "install/inifile.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "refdata/refdata.h"
#include "schema/confronto.h"
#include "schema/working_copy.h"
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

// After the comparison: the compaction has put a new file in the archive's place, which is held again.
// Should another program have taken it meanwhile, the steps that follow meet it and report it themselves.
void RiprendiArchivio(Aggiorna& w) {
    if (!w.archiveReservation.Held() || !w.engine) return;
    w.archiveReservation.Release();
    try {
        w.archiveReservation = w.engine->Reserve(w.NomeDb2);
    } catch (const Error&) {
    }
}

// One archive of the company (w.NomeDb1 its model, w.NomeDb2 the archive): what an interrupted run left
// beside it, then its comparison, which reserves it; the file the compaction put in its place is held again
// and, when the archive had other names, given a file of its own. An archive that could not be used has
// been reported by the comparison; the steps after it meet the engine's refusal and report it themselves.
void CompareArchive(Aggiorna& w, const std::string& file, const std::string& rapporti) {
    w.runReport.StartArchive(file, w.NomeDb2);
    NoteFilesOfInterruptedRuns(w, w.NomeDb2, rapporti);
    const std::string prima = platform::FileIdentity(w.NomeDb2);
    EsitoConfronto(w, file, Ponteval(w));
    RiprendiArchivio(w);
    SeparateArchive(w, prima);
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

        // Each archive is held for this run from its comparison to the end of its work.
        const std::string rapporti =
            w.runReport.folder.empty() ? w.CartellaDati + "\\ledrana\\rapporti" : w.runReport.folder;
        CompareArchive(w, file, rapporti);
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
        w.archiveReservation.Release();

        w.NomeDb1 = modello + "\\" + "SCAD32.MDB";
        w.NomeDb2 = PercorsoArchivio(readinifile(w, "Archivi", "Scadenzario", ini), cartellaDitta);
        CompareArchive(w, file, rapporti);
        CopiaDatiBanche(w, w.NomeDb1, w.NomeDb2);
        w.archiveReservation.Release();
        w.runReport.LeaveArchive();
    }
    return true;
}

} // namespace ledrana
