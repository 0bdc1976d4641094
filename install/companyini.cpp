#include "install/companyini.h"

#include "install/fileutil.h"
#include "install/inifile.h"
#include "platform/error.h"
#include "platform/text.h"

#include <array>
#include <utility>

namespace ledrana {

namespace {

// error number, blank, description, LF, "funz. " + name + " ", LF, the INI path.
void reportError(Reporter& w, const Error& e, const std::string& funz, const std::string& file) {
    w.MemLog(std::to_string(e.number()) + " " + e.description() + "\n" + funz + "\n" + file, true);
}

bool isDemoCompany(const std::string& file) {
    return UCase(file).find("DITTAESEMPIO") != std::string::npos;
}

// Switches the user may have turned off: anything but NO becomes "Si".
constexpr std::array kSwitches = {"NuovoCliente", "NuovoFornitore", "RegAutoIntraCee",
                                  "RegAutoBolleDoganali"};

// Demo identity, written on every update of the demo company.
constexpr std::array<std::array<const char*, 3>, 9> kDemoIdentity = {{
    {"Config", "Ragsoc1", "DITTA DI PROVA"},
    {"Config", "Ragsoc2", "DI ZORTEL KABU &C"},
    {"Config", "Indirizzo", "VIA ROMA 3"},
    {"Config", "Localita", "MILANO"},
    {"Config", "Piva", "12345678903"},
    {"Config", "CodFsc", "DDDGGG99H11U999K"},
    {"Config", "LogoOrdini", "logo.jpg"},
    {"config", "ScrittaOrd", "Ord."},
    {"config", "ScrittaCommessa", "Ns.Commessa"},
}};

// Demo accounting configuration, section "Config".
constexpr std::array<std::pair<const char*, const char*>, 40> kDemoAccounts = {{
    {"CausaleErario", "038"},
    {"ContoIvaErario", "170.010"},
    {"ContoInteressiErario", "550.030"},
    {"RegistrazioneContabileGiro", "1"},
    {"RegistrazioneContabileErario", "1"},
    {"C_ProfittiPerdite", "800.010"},
    {"Cau_ProfittiPerdite", "C90"},
    {"C_UtilePerdita", "300.010"},
    {"Cau_UtilePerdita", "C80"},
    {"C_Chiusura", "810.900"},
    {"Cau_Chiusura", "C91"},
    {"ContropartitaApertura", "810.010"},
    {"CausalePagScad1C", "010"},
    {"ContropartitaPagScad1C", "100.010"},
    {"ContoArrotondamentiPagScad1C", "540.080"},
    {"CausalePagScad2C", "010"},
    {"ContropartitaPagScad2C", "100.010"},
    {"ContoArrotondamentiPagScad2C", "710.030"},
    {"RegistrazioneContabilePagScad2C", "1"},
    {"CausalePagScad1F", "020"},
    {"ContropartitaPagScad1F", "100.010"},
    {"ContoArrotondamentiPagScad1F", "710.030"},
    {"CausalePagScad2F", "020"},
    {"ContropartitaPagScad2F", "100.010"},
    {"ContoArrotondamentiPagScad2F", "710.030"},
    {"RegistrazioneContabilePagScad2F", "1"},
    {"CausalePagScad3C", "024"},
    {"ContropartitaPagScad3C", "100.010"},
    {"RegistrazioneContabilePagScad3C", "1"},
    {"CausalePagScad3F", "024"},
    {"ContropartitaPagScad3F", "100.010"},
    {"RegistrazioneContabilePagScad3F", "1"},
    {"CausalePagScad4C", "073"},
    {"ContropartitaPagScad4C", "100.040"},
    {"RegistrazioneContabilePagScad4C", "1"},
    {"CausaleRiBa", "070"},
    {"ContropartitaRiBa", "120.040"},
    {"RegistrazioneContabileRiBa", "1"},
    {"CodficaCliFor", "1"},
    {"InvertoDAinNoteCredito", "1"},
}};

} // namespace

bool CreaFileIni(Reporter& w, const std::string& file) {
    w.ProgressTick();
    try {
        writeinifile(w, "Archivi", "Ledrana", "Cont32.Mdb", file);
        writeinifile(w, "Archivi", "Scadenzario", "Scad32.Mdb", file);
        ModificaFileIni(w, file);
        return true;
    } catch (const Error& e) {
        reportError(w, e, "funz. CreaFileIni ", file);
        return false;
    }
}

bool ModificaFileIni(Reporter& w, const std::string& file) {
    w.ProgressTick();
    try {
        for (const char* key : kSwitches) {
            if (readinifile(w, "Config", key, file) != "NO") writeinifile(w, "Config", key, "Si", file);
        }

        if (readinifile(w, "Config", "DirectoryRiba", file).empty())
            writeinifile(w, "Config", "DirectoryRiba", GetDirDocumenti() + "\\", file);
        if (readinifile(w, "Config", "DecP", file).empty()) writeinifile(w, "Config", "DecP", "###", file);
        if (readinifile(w, "Config", "DecQ", file).empty()) writeinifile(w, "Config", "DecQ", "####", file);
        if (readinifile(w, "Config", "ArrotImporto", file).empty())
            writeinifile(w, "Config", "ArrotImporto", "0", file);

        if (isDemoCompany(file)) {
            for (const auto& [section, key, value] : kDemoIdentity)
                writeinifile(w, section, key, value, file);
        }
        if (isDemoCompany(file)) {
            for (const auto& [key, value] : kDemoAccounts)
                writeinifile(w, "Config", key, value, file);
        }

        writeinifile(w, "Config", "RegistrazioneContabilePagScad2", "1", file);
        return true;
    } catch (const Error& e) {
        reportError(w, e, "funz. ModificaFileIni ", file);
        return false;
    }
}

bool ModificaFileIniPuntoIni(Reporter& w, const std::string& versione, const std::string& file) {
    w.ProgressTick();
    try {
        writeinifile(w, "Tempo", "Secondi", "0", file);
        writeinifile(w, "Ver", "AggiornamentoLedrana", versione, file);
        writeinifile(w, "Ver", "Condiz", "Si", file);
        writeinifile(w, "Ver", "Pwd", "SI", file);
        return true;
    } catch (const Error& e) {
        reportError(w, e, "funz. ModificaFileIniPuntoIni ", file);
        return false;
    }
}

} // namespace ledrana
