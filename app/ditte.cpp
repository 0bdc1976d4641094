// The company update: step 6 of the run.

#include "app/run.h"

#include "app/run_log.h"
#include "install/companyini.h"
#include "install/fileutil.h"
#include "install/immagini.h"
#include "install/inifile.h"
#include "platform/text.h"
#include "refdata/refdata.h"
#include "schema/confronto.h"

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
    if (aggiornato)
        MemLog(w, "ditta " + file + " database " + w.NomeDb2 + " aggiornato", false);
    else
        MemLog(w, "ditta " + file + " database " + w.NomeDb2 + " non aggiornato correttamente", true);
}

}  // namespace

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

        const std::string cartellaDitta = w.CartellaDati + "\\" + NomeDitta(file);
        const std::string ini = w.CartellaDati + "\\LEDRANA\\" + file;
        w.NomeDb1 = modello + "\\" + "CONT32.MDB";
        w.NomeDb2 = PercorsoArchivio(readinifile(w, "Archivi", "Ledrana", ini), cartellaDitta);
        ImmaginiXProdotti(w, modello, w.NomeDb2, w.CartellaDati + "\\ledrana\\" + file);

        const std::string scadenzario = PercorsoArchivio(readinifile(w, "Archivi", "Scadenzario", ini), cartellaDitta);
        // An archive that an earlier run left missing beside the backup of its compaction comes back first.
        RipristinaArchivioMancante(w, w.NomeDb2);
        RipristinaArchivioMancante(w, scadenzario);
        const bool esisteContabilita = EsisteFile(w, w.NomeDb2, true);
        const bool esisteScadenzario = EsisteFile(w, scadenzario, true);
        if (!esisteContabilita || !esisteScadenzario) {
            MemLog(w, "Impossibile aggiornare la ditta " + file, true);
            continue;
        }

        EsitoConfronto(w, file, Ponteval(w));
        if (!AggiornaCampiVari(w, w.NomeDb2))
            MemLog(w, "Agg.campi vari: ditta " + file + " database " + w.NomeDb2 + " non aggiornato correttamente", true);
        if (!AggiornaDiversi(w, w.NomeDb2))
            MemLog(w, "Agg.DIVERSI ditta " + file + " database " + w.NomeDb2 + " non aggiornato correttamente", true);
        CopiaDatiCodiciCausaliTrasporto(w, w.NomeDb1, w.NomeDb2);
        CopiaDatiCategorieFisse(w, w.NomeDb1, w.NomeDb2);
        CopiaDatiRitenute(w, w.NomeDb1, w.NomeDb2);
        ModificaCausaliFisse(w, w.NomeDb2);

        w.NomeDb1 = modello + "\\" + "SCAD32.MDB";
        w.NomeDb2 = PercorsoArchivio(readinifile(w, "Archivi", "Scadenzario", ini), cartellaDitta);
        EsitoConfronto(w, file, Ponteval(w));
        CopiaDatiBanche(w, w.NomeDb1, w.NomeDb2);
    }
    return true;
}

}  // namespace ledrana
