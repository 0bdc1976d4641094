#include "app/run.h"

#include "app/manual.h"
#include "app/restore_point.h"
#include "app/window_events.h"
#include "install/collegamenti.h"
#include "install/companyini.h"
#include "install/demo.h"
#include "install/fileutil.h"
#include "install/inifile.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/notices.h"
#include "platform/profile.h"
#include "platform/runlock.h"
#include "platform/shell.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "schema/confronto.h"
#include "window/run_log.h"
#include "window/run_report_html.h"

#include <optional>
#include <pwd.h>
#include <set>
#include <unistd.h>

namespace ledrana {

const char* const kModelliStampa[30] = {
    "ZuBolla.mod",
    "ZuBollaPr.mod",
    "ZuBollaRifCli.mod",
    "ZuBolla_con_campi_personalizz.Mod",
    "ZuBV.mod",
    "ZuPatr.mod",
    "ZuEC.mod",
    "ZuFattAcc.mod",
    "ZuFattAccRa.mod",
    "ZuFattura.mod",
    "ZuFatturaRifCli.mod",
    "ZuFatturaRA.mod",
    "ZuMovimento.mod",
    "ZuMPC.mod",
    "ZuScontrinoScarico.mod",
    "ZuSPC.mod",
    "ZuSPD.mod",
    "ZuOrdCli.mod",
    "ZuOrdCliRifCli.mod",
    "ZuOrdFor.mod",
    "ZuRiva.mod",
    "ZuChiuIva.mod",
    "ZuGio.mod",
    "ZuConfr.mod",
    "ZuComm.mod",
    "ZuXProd.mod",
    "ZuXProdNoMoivim.mod",
    "ZuSitOrdCliFor.mod",
    "ZuSitCommesse.mod",
    "ZuEtichetta.eticf",
};

namespace {

// What a run holds from the moment it has the data folder to itself to its end: the lock, and the restore
// point of what it changes.
struct RunHold {
    platform::RunLock lock;
    std::optional<RestorePoint> point;
    bool pointTried = false;
    bool pointClosed = false;
};

std::string ReadIni(const std::string& section, const std::string& key, const std::string& file) {
    std::string value;
    const int n = platform::GetPrivateProfileString(section, key, "", value, 100, file);
    return LeftChars(value, static_cast<std::size_t>(n));
}

// Puts into the restore point what the steps may replace or rewrite in the data folder: the archives that
// every company INI names (resolved as AggiornaDitte resolves them), the demo company's and those of the
// old single-company layout; the company INI files, the pictures that ImmaginiXProdotti copies beside each
// accounting archive, the demo company's files, the user INI, INI.INI and the templates. The folders outside
// the data folder where the run writes (an archive's, where the compaction and the comparison leave their
// files, and the picture folders beside an accounting archive) are listed, so that the point knows what the
// run adds there. What cannot be kept is noted in the report: the run goes on, and so does the restore of
// everything else.
void KeepWhatTheRunChanges(RestorePoint& point, const std::string& data, RunReport& report,
                           dao::DBEngine* engine) {
    std::vector<std::string> archives, files, folders;
    const std::string ledrana = data + "\\LEDRANA";
    if (platform::FolderExists(ledrana)) {
        for (const std::string& ini : platform::ListFiles(ledrana, "*.ini")) {
            const auto dot = UCase(ini).find(".INI");
            const std::string company = data + "\\" + ini.substr(0, dot);
            const auto archive = [&](const char* key) {
                const std::string value = ReadIni("Archivi", key, ledrana + "\\" + ini);
                return value.find('\\') == std::string::npos ? company + "\\" + value : value;
            };
            const std::string cont = archive("Ledrana");
            archives.push_back(cont);
            archives.push_back(archive("Scadenzario"));
            files.push_back(ledrana + "\\" + ini);
            for (std::size_t i = archives.size() - 2; i < archives.size(); ++i)
                if (const auto slash = archives[i].rfind('\\'); slash != std::string::npos)
                    folders.push_back(archives[i].substr(0, slash));
            const auto folder = UCase(cont).find("\\CONT32.MDB");
            if (folder != std::string::npos) {
                files.push_back(cont.substr(0, folder) + "\\immagini\\stampante.jpg");
                files.push_back(cont.substr(0, folder) + "\\descrizioni\\stampante.doc");
                folders.push_back(cont.substr(0, folder) + "\\immagini");
                folders.push_back(cont.substr(0, folder) + "\\descrizioni");
            }
        }
    }
    const std::string demo = data + "\\DittaEsempio";
    for (const char* f : {"Cont32.mdb", "Scad32.mdb"})
        archives.push_back(demo + "\\" + f);
    for (const char* f : {"logo.jpg", "NoteFinaliOrdF.txt", "NoteFinaliOrdOC.txt", "NoteFinaliOrdFC.txt",
                          "immagini\\stampante.jpg", "descrizioni\\stampante.doc"})
        files.push_back(demo + "\\" + f);
    archives.push_back(data + "\\ditta\\scad32.mdb");
    archives.push_back(data + "\\ditta2000\\cont32.mdb");
    files.push_back(data + "\\Utenti\\Utente.ini");
    files.push_back(ledrana + "\\INI\\INI.INI");
    for (const char* nome : kModelliStampa)
        files.push_back(ledrana + "\\INI\\" + nome);

    const auto keep = [&](const std::string& path, bool archive) {
        if (!platform::FileExists(path)) return;
        try {
            if (!archive) {
                point.KeepFile(path);
                return;
            }
            // Reserved while it is kept, so that what a program that stopped while it wrote the archive
            // left beside it is settled first: the point keeps the archive, not half of a change. One that
            // another program holds is kept as it is, without waiting for it; the company's turn waits and
            // reports it.
            dao::FileReservation reserved;
            try {
                if (engine) reserved = engine->Reserve(path, {.settle = true, .wait = false});
            } catch (const Error&) {
            }
            if (reserved.UndidHalfMadeChange()) report.NoteUndoneChange(path);
            point.KeepArchive(path);
        } catch (const Error& e) {
            report.Note(path, "Il punto di ripristino non contiene " + path + ": " +
                                  std::to_string(e.number()) + " " + e.description() + ".");
            report.restorePointIncomplete = true;
        }
    };
    for (const std::string& a : archives)
        keep(a, true);
    for (const std::string& f : files)
        keep(f, false);
    for (const std::string& folder : folders) {
        try {
            point.Watch(folder);
        } catch (const Error& e) {
            report.Note(folder, "Il punto di ripristino non sa che cosa c'era in " + folder + ": " +
                                    std::to_string(e.number()) + " " + e.description() +
                                    "; ciò che l'aggiornamento vi aggiunge resta dov'è dopo un ripristino.");
        }
    }
    point.Flush();
}

// Opens the run's restore point in the data folder, once the run has it to itself and before it changes
// anything there. A point that cannot be made is noted in the report; the run goes on as it always has.
void OpenRestorePoint(Aggiorna& w, RunHold& hold, const std::string& folder) {
    if (hold.pointTried || folder.empty() || !platform::FolderExists(folder + "\\ledrana")) return;
    hold.pointTried = true;
    try {
        hold.point.emplace(folder, w.runReport.start, false);
        w.runReport.restorePoint = hold.point->folder();
        KeepWhatTheRunChanges(*hold.point, folder, w.runReport, w.engine);
    } catch (const Error& e) {
        w.runReport.Note("", "Il punto di ripristino non si è potuto preparare (" +
                                 std::to_string(e.number()) + " " + e.description() +
                                 "): questo aggiornamento non si può annullare con "
                                 "aggiorna-batch --ripristina.");
        w.runReport.restorePointIncomplete = true;
    }
}

// At the end of the run, whatever its end: the restore point records what the run left, and once it is
// whole the older points of earlier runs go (but the newest restorePointsKept).
void CloseRestorePoint(Aggiorna& w, RunHold& hold) {
    if (!hold.point || hold.pointClosed) return;
    hold.pointClosed = true;
    try {
        for (const std::string& failure : hold.point->Complete())
            w.runReport.Note("", failure);
    } catch (const Error& e) {
        w.runReport.Note("", "Il punto di ripristino " + hold.point->folder() +
                                 " non si è potuto completare (" + std::to_string(e.number()) + " " +
                                 e.description() + ").");
        w.runReport.restorePointIncomplete = true;
        return;
    }
    if (w.runReport.restorePointIncomplete) return;
    for (const std::string& failure :
         PruneRestorePoints(hold.point->manifest().dataFolder, w.restorePointsKept))
        w.runReport.Note("", failure);
}

// The data folder that step 2 will settle on, looked at before anything is changed: the first line of
// dir.txt, or the folder box on a new installation; "" when dir.txt cannot be read.
std::string DataFolderAhead(Aggiorna& w) {
    const std::string dirTxt = platform::GetWindowsDirectory() + "\\dir.txt";
    if (!platform::FileExists(dirTxt)) return w.CartellaZu.text;
    try {
        return platform::ReadFirstLine(dirTxt);
    } catch (const Error&) {
        return "";
    }
}

// Takes the lock that keeps a second update (or a preview, or a restore) away from the data folder, once
// its ledrana folder exists (a folder without one holds no installation yet: the run then takes it as soon
// as it has made the folder). False when another one holds it, or when the lock cannot be had at all (a
// folder this user may not write in): the user is told why, and nothing has been changed. A file system
// without locks is noted in the report and the run goes on.
bool LockDataFolder(Aggiorna& w, RunHold& hold, const std::string& folder) {
    if (hold.lock.state() != platform::RunLock::State::Free || folder.empty() ||
        !platform::FolderExists(folder + "\\ledrana"))
        return true;
    std::string testo;
    try {
        hold.lock = platform::RunLock::Take(folder + "\\ledrana\\update.lock", "aggiornamento");
        if (hold.lock.state() != platform::RunLock::State::Held) return true;
        w.runReport.lockHeld = true;
        testo = platform::HeldSentence(folder, hold.lock.holder()) +
                ".\nQuesto aggiornamento termina senza modificare nulla: riavviarlo quando l'altro sarà "
                "terminato.";
    } catch (const Error& e) {
        testo = "Impossibile bloccare la cartella dati " + folder + " (" + std::to_string(e.number()) + " " +
                e.description() +
                "): un altro aggiornamento non ne sarebbe escluso.\nQuesto aggiornamento termina senza "
                "modificare nulla.";
    }
    w.runReport.Note("", testo);
    w.dialogs.MsgBox(testo, vbOKOnly, "");
    return false;
}

// LockDataFolder, then the restore point of the folder as soon as the run has it to itself.
bool TakeDataFolder(Aggiorna& w, RunHold& hold, const std::string& folder) {
    if (!LockDataFolder(w, hold, folder)) return false;
    OpenRestorePoint(w, hold, folder);
    return true;
}

// The steps of the run up to its success end; false at the first stop.
bool EseguiAggiornamento(Aggiorna& w, RunHold& hold) {
    const std::string modello = w.CartellaDefault.text;
    if (!TakeDataFolder(w, hold, DataFolderAhead(w))) return false;

    // 1. Opening.
    w.Pb.visible = true;
    w.Refresh(w.Pb);
    CollegamentiDesktop();

    // 2. Data folder.
    const std::string dirTxt = GetWinDir(w) + "\\dir.txt";
    if (!EsisteFile(w, dirTxt, true)) {
        w.CartellaDati = w.CartellaZu.text;
        platform::WriteOneLine(dirTxt, w.CartellaDati);
    } else {
        try {
            w.CartellaDati = platform::ReadFirstLine(dirTxt);
        } catch (const Error& e) {
            if (e.number() != 62) throw; // an empty pointer file names no folder
            w.CartellaDati.clear();
        }

        // 3. Installed version.
        const std::string installata =
            readinifile(w, "Ver", "AggiornamentoLedrana", w.CartellaDati + "\\LEDRANA\\Ini\\Ini.ini");
        w.runReport.versionBefore = installata;
        if (installata == w.Aggiornamento.caption) {
            w.dialogs.MsgBox("il programma è già aggiornato, verrà effettuata la verifica degli archivi",
                             vbInformation, "");
            w.dialogs.DoEvents();
            MemLog(w, "già aggiornato, rieseguo", false);
        } else if (EsisteFile(w, w.CartellaDati + "\\ditta\\scad32.mdb", true) &&
                   EsisteFile(w, w.CartellaDati + "\\ditta2000\\cont32.mdb", true)) {
            // The old single-company layout becomes the company Ditta2000.
            CreaCartella(w, w.CartellaDati + "\\ledrana", false);
            if (!TakeDataFolder(w, hold, w.CartellaDati)) return false;
            CopiaFile(w, modello + "\\Ditta2000.ini", w.CartellaDati + "\\Ledrana\\Ditta2000.ini");
        }
    }

    // 4. Working state.
    w.screenMousePointer = vbHourglass;
    w.Pb.max = 500;
    w.Pb.min = 0;

    // 5. Folder tree and demo company.
    for (const char* sotto : {"", "\\ledrana", "\\ledrana\\ini"})
        if (!CreaCartella(w, w.CartellaDati + sotto, false)) return false;
    if (!TakeDataFolder(w, hold, w.CartellaDati)) return false;
    if (!CopiaArchiviDemo(w, w.CartellaDati, modello, [&w](const std::string& db) { return ApreDb(w, db); }))
        return false;

    // 6. Companies.
    if (!AggiornaDitte(w)) return false;

    // 7. User INI.
    if (!CreaCartella(w, w.CartellaDati + "\\Utenti", false)) return false;
    if (!CopiaFile(w, modello + "\\Utente.ini", w.CartellaDati + "\\Utenti\\Utente.ini")) return false;

    // 8. Version record.
    if (!ModificaFileIniPuntoIni(w, w.Aggiornamento.caption, w.CartellaDati + "\\LEDRANA\\INI\\INI.INI"))
        return false;

    // 9. Templates.
    for (const char* nome : kModelliStampa)
        if (!CopiaFile(w, modello + "\\" + nome, w.CartellaDati + "\\LEDRANA\\INI\\" + nome)) return false;
    return true;
}

void AvviaProgramma(Aggiorna& w) {
    const std::string programma = w.AppPath() + "\\LEDRANA.EXE";
    std::string motivo;
    switch (platform::StartProgram(programma)) {
    case platform::StartResult::Started:
    case platform::StartResult::Disabled:
        return;
    case platform::StartResult::NotFound:
        motivo = "il file non esiste";
        break;
    case platform::StartResult::NotExecutable:
        motivo = "il file non è un programma eseguibile";
        break;
    case platform::StartResult::Failed:
        motivo = "il sistema non ha potuto avviarlo";
        break;
    }
    w.dialogs.MsgBox("Impossibile avviare " + programma + ": " + motivo, vbOKOnly, "");
}

// The run's end in the log's own words: the report takes the same line.
void Conclude(Aggiorna& w, const std::string& riga) {
    w.runReport.outcome = riga;
    MemLog(w, riga, true);
    SalvaLog(w);
}

// The run's report, written once the run is over (after SalvaLog and the last box). A report that cannot
// be written changes nothing of the run: its outcome stays what the log says.
void WriteReport(Aggiorna& w) {
    RunReport& report = w.runReport;
    report.end = ReportClock::now();
    report.dataFolder = w.CartellaDati;
    if (w.CartellaDati.empty() && report.folder.empty()) return;
    try {
        report.file = WriteRunReport(report);
    } catch (const Error& e) {
        report.file.clear();
        report.reportError = std::to_string(e.number()) + " " + e.description();
    }
}

void Run(Aggiorna& w, RunHold& hold) {
    bool eseguito = false;
    try {
        eseguito = EseguiAggiornamento(w, hold);
    } catch (const Error& e) {
        // An error that a called procedure lets through ends the run at its failure end.
        MemLog(w, std::to_string(e.number()) + " " + e.description() + "\nfunz. Command2_Click ", true);
    }
    // Before the last boxes: the program the user may then start must find the point complete.
    CloseRestorePoint(w, hold);
    for (const platform::Notice& n : platform::TakeNotices())
        w.runReport.NoteOnce(n.key, "", n.text);

    w.screenMousePointer = vbDefault;
    if (!eseguito) {
        Conclude(w, "Aggiornamento NON eseguito completamente");
        w.End();
    }

    w.Pb.value = w.Pb.max;
    w.Refresh(w.Pb);
    Conclude(w, "Aggiornamento eseguito");
    if (w.dialogs.MsgBox("Aprire il programma adesso", vbYesNo, "") == vbYes) {
        ApriManuale(w, "ZZGeneral-ZuDuvo1");
        AvviaProgramma(w);
    }
    w.End();
}

} // namespace

void Command2_Click(Aggiorna& w, dao::DBEngine& engine) {
    w.engine = &engine;
    w.runReport.start = ReportClock::now();
    w.runReport.versionNow = w.Aggiornamento.caption;
    w.runReport.modelFolder = w.CartellaDefault.text;
    w.runReport.computer = platform::ComputerName();
    if (const passwd* pw = ::getpwuid(::geteuid())) w.runReport.user = pw->pw_name;
    if (w.runReport.program.empty()) w.runReport.program = std::string("AggiornaLedrana ") + kVersione;
    // The scratch folders that killed previews and runs of this user left behind.
    platform::RemoveAbandonedTempFolders();
    RunHold hold; // the lock is held until the report is written
    try {
        Run(w, hold);
    } catch (const ProgramEnded&) {
        CloseRestorePoint(w, hold);
        WriteReport(w);
        throw;
    }
}

} // namespace ledrana
