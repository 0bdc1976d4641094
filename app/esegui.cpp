#include "app/run.h"

#include "app/manual.h"
#include "install/collegamenti.h"
#include "install/companyini.h"
#include "install/demo.h"
#include "install/fileutil.h"
#include "install/inifile.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "schema/confronto.h"
#include "window/run_log.h"
#include "window/run_report_html.h"

namespace ledrana {

const char* const kModelliStampa[30] = {
    "ZuBolla.mod",       "ZuBollaPr.mod",       "ZuBollaRifCli.mod",  "ZuBolla_con_campi_personalizz.Mod",
    "ZuBV.mod",          "ZuPatr.mod",          "ZuEC.mod",           "ZuFattAcc.mod",
    "ZuFattAccRa.mod",   "ZuFattura.mod",       "ZuFatturaRifCli.mod", "ZuFatturaRA.mod",
    "ZuMovimento.mod",   "ZuMPC.mod",           "ZuScontrinoScarico.mod", "ZuSPC.mod",
    "ZuSPD.mod",         "ZuOrdCli.mod",        "ZuOrdCliRifCli.mod", "ZuOrdFor.mod",
    "ZuRiva.mod",        "ZuChiuIva.mod",       "ZuGio.mod",          "ZuConfr.mod",
    "ZuComm.mod",        "ZuXProd.mod",         "ZuXProdNoMoivim.mod", "ZuSitOrdCliFor.mod",
    "ZuSitCommesse.mod", "ZuEtichetta.eticf",
};

namespace {

// The steps of the run up to its success end; false at the first stop.
bool EseguiAggiornamento(Aggiorna& w) {
    const std::string modello = w.CartellaDefault.text;

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
            if (e.number() != 62) throw;  // an empty pointer file names no folder
            w.CartellaDati.clear();
        }

        // 3. Installed version.
        const std::string installata = readinifile(w, "Ver", "AggiornamentoLedrana", w.CartellaDati + "\\LEDRANA\\Ini\\Ini.ini");
        w.runReport.versionBefore = installata;
        if (installata == w.Aggiornamento.caption) {
            w.dialogs.MsgBox("il programma è già aggiornato, verrà effettuata la verifica degli archivi", vbInformation,
                             "");
            w.dialogs.DoEvents();
            MemLog(w, "già aggiornato, rieseguo", false);
        } else if (EsisteFile(w, w.CartellaDati + "\\ditta\\scad32.mdb", true) &&
                   EsisteFile(w, w.CartellaDati + "\\ditta2000\\cont32.mdb", true)) {
            // The old single-company layout becomes the company Ditta2000.
            CreaCartella(w, w.CartellaDati + "\\ledrana", false);
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
    case platform::StartResult::NotFound: motivo = "il file non esiste"; break;
    case platform::StartResult::NotExecutable: motivo = "il file non è un programma eseguibile"; break;
    case platform::StartResult::Failed: motivo = "il sistema non ha potuto avviarlo"; break;
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
    } catch (const Error&) {
        report.file.clear();
    }
}

void Run(Aggiorna& w) {
    bool eseguito = false;
    try {
        eseguito = EseguiAggiornamento(w);
    } catch (const Error& e) {
        // An error that a called procedure lets through ends the run at its failure end.
        MemLog(w, std::to_string(e.number()) + " " + e.description() + "\nfunz. Command2_Click ", true);
    }

    w.screenMousePointer = vbDefault;
    if (!eseguito || w.ArchivioSaltato) {
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

}  // namespace

void Command2_Click(Aggiorna& w, dao::DBEngine& engine) {
    w.engine = &engine;
    w.runReport.start = ReportClock::now();
    w.runReport.versionNow = w.Aggiornamento.caption;
    try {
        Run(w);
    } catch (const ProgramEnded&) {
        WriteReport(w);
        throw;
    }
}

}  // namespace ledrana
