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

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

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

// A value as the report shows it: texts in quotes, Null by name.
std::string ValueText(const dao::Variant& v) {
    if (v.IsNull()) return "Null";
    return v.IsText() ? "\"" + v.ToString() + "\"" : v.ToString();
}

// The first two fields of a row (its key first), "name=value" each.
std::string RowText(const dao::RowValues& row) {
    std::string text;
    for (std::size_t i = 0; i < row.size() && i < 2; ++i)
        text += (i ? ", " : "") + row[i].first + "=" + ValueText(row[i].second);
    return row.size() > 2 ? text + ", …" : text;
}

// What a data fix or a reference table writes into the archive, read from it when the procedure is done
// and put in the run's report. Without an engine (or when the archive cannot be watched) the procedure
// runs the same, unreported.
class DataWatch {
public:
    DataWatch(Aggiorna& w, std::string procedure)
        : w_(w), procedure_(std::move(procedure)), path_(w.NomeDb2) {
        if (!w.engine) return;
        try {
            watch_.emplace(*w.engine, path_);
        } catch (const Error&) {
        }
    }

    void Report() {
        if (!watch_) return;
        std::vector<dao::TableChanges> tables;
        try {
            tables = watch_->Finish();
        } catch (const Error& e) {
            w_.runReport.Note(path_, "Non si è potuto leggere che cosa ha scritto " + procedure_ + ": " +
                                         e.description());
            return;
        }
        for (const dao::TableChanges& t : tables) {
            const auto rows = [&](ChangeKind kind, const std::vector<dao::RowValues>& first, std::int64_t n) {
                if (n == 0) return;
                std::string detail;
                for (const dao::RowValues& r : first)
                    detail += (detail.empty() ? "" : "\n") + RowText(r);
                w_.runReport.Change(path_, kind, t.table, "", detail, n);
                w_.runReport.ChangedBy(path_, procedure_);
            };
            rows(ChangeKind::RowsAdded, t.firstAdded, t.added);
            for (const dao::FieldChanges& f : t.fields) {
                std::string detail;
                for (const dao::ValueChange& c : f.first)
                    detail += (detail.empty() ? "" : "\n") + ValueText(c.before) + " → " + ValueText(c.after);
                w_.runReport.Change(path_, ChangeKind::ValuesChanged, t.table, f.field, detail, f.rows);
                w_.runReport.ChangedBy(path_, procedure_);
            }
            rows(ChangeKind::RowsRemoved, t.firstRemoved, t.removed);
        }
    }

private:
    Aggiorna& w_;
    std::string procedure_, path_;
    std::optional<dao::ChangeWatch> watch_;
};

// Runs a data fix or a reference table procedure on w.NomeDb2 under a DataWatch.
template <class Procedure> auto Watched(Aggiorna& w, const char* name, Procedure&& procedure) {
    DataWatch watch(w, name);
    if constexpr (std::is_void_v<decltype(procedure())>) {
        procedure();
        watch.Report();
    } else {
        auto result = procedure();
        watch.Report();
        return result;
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
        if (!Watched(w, "AggiornaCampiVari", [&] { return AggiornaCampiVari(w, w.NomeDb2); }))
            DataFixFailed(w, "Agg.campi vari: ditta " + file + " database " + w.NomeDb2 +
                                 " non aggiornato correttamente");
        if (!Watched(w, "AggiornaDiversi", [&] { return AggiornaDiversi(w, w.NomeDb2); }))
            DataFixFailed(w, "Agg.DIVERSI ditta " + file + " database " + w.NomeDb2 +
                                 " non aggiornato correttamente");
        Watched(w, "CopiaDatiCodiciCausaliTrasporto",
                [&] { CopiaDatiCodiciCausaliTrasporto(w, w.NomeDb1, w.NomeDb2); });
        Watched(w, "CopiaDatiCategorieFisse", [&] { CopiaDatiCategorieFisse(w, w.NomeDb1, w.NomeDb2); });
        Watched(w, "CopiaDatiRitenute", [&] { CopiaDatiRitenute(w, w.NomeDb1, w.NomeDb2); });
        Watched(w, "ModificaCausaliFisse", [&] { ModificaCausaliFisse(w, w.NomeDb2); });
        w.archiveReservation.Release();

        w.NomeDb1 = modello + "\\" + "SCAD32.MDB";
        w.NomeDb2 = PercorsoArchivio(readinifile(w, "Archivi", "Scadenzario", ini), cartellaDitta);
        CompareArchive(w, file, rapporti);
        Watched(w, "CopiaDatiBanche", [&] { CopiaDatiBanche(w, w.NomeDb1, w.NomeDb2); });
        w.archiveReservation.Release();
        w.runReport.LeaveArchive();
    }
    return true;
}

} // namespace ledrana
