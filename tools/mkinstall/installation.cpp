#include "tools/mkinstall/installation.h"

#include "install/collegamenti.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "tools/manifest/manifest.h"
#include "tools/mkinstall/sample_data.h"

#include <functional>
#include <sys/stat.h>
#include <vector>

namespace ledrana::mkinstall {
namespace {

using manifest::BuildFromManifest;

const std::string kData = "C:\\ZU";

// ---- files and folders ----

void EnsureFolder(const std::string& path) {
    std::string partial;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        partial = path.substr(0, end);
        if (partial.size() > 2 && !platform::FolderExists(partial)) platform::MkDir(partial);
        start = end + 1;
    }
}

// Text files of the product are Windows files: CR LF line ends.
void WriteText(const std::string& path, const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    platform::WriteAllBytes(path, out);
}

void CopyFromHost(const std::string& hostFile, const std::string& to) {
    platform::FileCopy(platform::WindowsPath(hostFile), to);
}

// A shell link in the format Windows writes: the 76-byte header, then the name, relative path and
// working folder as counted ANSI strings.
std::string ShellLink(const std::string& description, const std::string& target, const std::string& workDir) {
    std::string b;
    auto u16 = [&](unsigned v) { b += static_cast<char>(v & 0xff), b += static_cast<char>((v >> 8) & 0xff); };
    auto u32 = [&](unsigned v) { u16(v & 0xffff), u16(v >> 16); };
    u32(0x4C);
    const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    b.append(reinterpret_cast<const char*>(clsid), 16);
    u32(0x04 | 0x08 | 0x10); // HasName, HasRelativePath, HasWorkingDir
    u32(0x20);               // the target is an archive file
    for (int i = 0; i < 6; ++i)
        u32(0); // creation, access and write times
    u32(0);     // file size
    u32(0);     // icon index
    u32(1);     // show normal
    u16(0), u16(0), u32(0), u32(0);
    for (const std::string& s : {description, target, workDir}) {
        u16(static_cast<unsigned>(s.size()));
        b += s;
    }
    return b;
}

// The shortcuts and program groups that versions up to 028 installed, plus one shortcut of the user's
// own that an update must leave alone.
std::string OldShortcuts() {
    const std::string programs = platform::SpecialFolderPath(platform::CSIDL_PROGRAMS);
    const std::string desktop = platform::SpecialFolderPath(platform::CSIDL_DESKTOP_FOLDER);
    const std::string forum = kIndirizzoForum;
    struct Link {
        std::string folder, name, target;
    };
    const std::vector<Link> links = {
        {desktop, "FORUM " + forum, "C:\\Tessaro\\forum.url"},
        {desktop, "ISTRUZIONI Brevant", "C:\\Tessaro\\Brevant\\istruzioni.pdf"},
        {desktop, "ISTRUZIONI Fenwold", "C:\\Tessaro\\Fenwold\\istruzioni.pdf"},
        {desktop, "LEGGIMI.htm Tessaro 028", "C:\\Tessaro\\LEGGIMI.htm"},
        {desktop, "Brevant", "C:\\Tessaro\\Brevant\\BREVANT.EXE"},
        {desktop, "ledrana", "C:\\Tessaro\\LEDRANA.EXE"},
        {desktop, "Tessaro", "C:\\Tessaro\\LEDRANA.EXE"},
        {desktop, "LEGGIMI Tessaro", "C:\\Tessaro\\LEGGIMI.txt"},
        {programs + "\\Ledrana", "1 Tessaro Pellor Quilder", "C:\\Tessaro\\LEDRANA.EXE"},
        {programs + "\\Ledrana", "2 Leggimi", "C:\\Tessaro\\LEGGIMI.txt"},
        {programs + "\\Ledrana", "3 Brevant", "C:\\Tessaro\\Brevant\\BREVANT.EXE"},
        {programs + "\\Ledrana", "4 " + forum + " Forum", "C:\\Tessaro\\forum.url"},
        {programs + "\\Ledrana", "5 Aggiorna Ledrana", "C:\\Tessaro\\AggiornaLedrana.exe"},
        {programs + "\\Tessaro", "1 Tessaro Pellor Quilder", "C:\\Tessaro\\LEDRANA.EXE"},
        {programs + "\\Tessaro", "2 Leggimi", "C:\\Tessaro\\LEGGIMI.txt"},
        {programs + "\\Tessaro", "3 Brevant", "C:\\Tessaro\\Brevant\\BREVANT.EXE"},
        {programs + "\\Tessaro", "4 " + forum + " Forum", "C:\\Tessaro\\forum.url"},
        {programs + "\\Tessaro", "5 Aggiorna Ledrana", "C:\\Tessaro\\AggiornaLedrana.exe"},
        {desktop, "Posta elettronica", "C:\\Programmi\\Posta\\posta.exe"},
    };
    std::string summary;
    int made = 0;
    for (const auto& link : links) {
        // A name that holds a path separator cannot be a file name.
        if (link.name.find_first_of("\\/") != std::string::npos) {
            summary += "collegamento non creato (nome con separatore): " + link.name + "\n";
            continue;
        }
        EnsureFolder(link.folder);
        platform::WriteAllBytes(link.folder + "\\" + link.name + ".lnk",
                                ShellLink(link.name, link.target, "C:\\Tessaro"));
        ++made;
    }
    return summary + "collegamenti: " + std::to_string(made) +
           " sul desktop e nei gruppi Ledrana e Tessaro\n";
}

// ---- archives ----

struct Archives {
    std::string manifestDir; // host folder of CONT32*.manifest and SCAD32*.manifest
    std::string suffix;      // "" for the models, "-027" for version 027
    bool withDemo = false;
    std::vector<std::string> strictFields; // text fields left without zero-length permission
};

std::int64_t Size(const std::string& path) {
    return platform::FileLen(path);
}

// Builds the two archives of a company and fills them. Returns the summary lines.
std::string MakeCompany(dao::DBEngine& engine, const Archives& from, const CompanySpec& spec,
                        const std::string& cont, const std::string& scad, const std::string& password,
                        const std::function<void(dao::Database&)>& lastTouch = {}) {
    auto structure = [&](dao::Database& db) { manifest::AllowZeroLength(db, from.strictFields); };
    dao::Database db = BuildFromManifest(engine, from.manifestDir + "/CONT32" + from.suffix + ".manifest",
                                         cont, from.withDemo, structure);
    db.BeginTrans();
    const std::vector<Invoice> invoices = FillAccounting(db, spec);
    if (lastTouch) lastTouch(db);
    db.CommitTrans();
    if (!password.empty()) db.NewPassword("", password);
    db.Close();

    dao::Database dd = BuildFromManifest(engine, from.manifestDir + "/SCAD32" + from.suffix + ".manifest",
                                         scad, from.withDemo, structure);
    dd.BeginTrans();
    FillDueDates(dd, spec, invoices);
    dd.CommitTrans();
    dd.Close();
    return "  " + cont + " (" + std::to_string(Size(cont)) + " byte)" +
           (password.empty() ? "" : ", password " + password) + "\n  " + scad + " (" +
           std::to_string(Size(scad)) + " byte)\n";
}

std::string CompanyIni(const std::string& cont, const std::string& scad, const std::string& config) {
    return "[Archivi]\nLedrana=" + cont + "\nScadenzario=" + scad + "\n\n[Config]\n" + config;
}

// The company keys that an update to 048.5 writes (what ModificaFileIni and ImmaginiXProdotti add).
std::string UpdatedConfig(const std::string& own) {
    return own +
           "NuovoCliente=Si\nNuovoFornitore=Si\nRegAutoIntraCee=Si\nRegAutoBolleDoganali=Si\n"
           "DirectoryRiba=" +
           platform::DocumentsFolder() +
           "\\\nDecP=###\nDecQ=####\nArrotImporto=0\n"
           "RegistrazioneContabilePagScad2=1\nDirectoryImm=immagini\\\nDirectoryDoc=descrizioni\\\n";
}

// ---- the parts of an installation ----

void Pointer() {
    platform::WriteOneLine(platform::GetWindowsDirectory() + "\\dir.txt", kData);
}

void Start() {
    if (platform::FolderExists(kData)) throw Error(58, "la cartella dati " + kData + " esiste già");
    EnsureFolder(kData + "\\LEDRANA\\INI");
    Pointer();
}

void OldIniFiles(const std::string& version) {
    WriteText(kData + "\\LEDRANA\\INI\\INI.INI",
              "[Tempo]\nSecondi=5\n\n[Ver]\nAggiornamentoLedrana=" + version +
                  "\nCondiz=No\nPwd=NO\n\n[Rete]\nCondivisa=No\nUtenti=1\n");
    const char* old[] = {"ZuFattura.mod", "ZuBolla.mod", "ZuGio.mod"};
    for (const char* name : old)
        WriteText(kData + "\\LEDRANA\\INI\\" + name,
                  std::string("; Tessaro ") + version + " - modulo " + name + "\n[Modulo]\nNome=" + name +
                      "\nCarta=A4\n[Testata]\nTitolo=Testo,10,34,90,8,S,Arial 14 G,"
                      "DOCUMENTO\n[Corpo]\nInizio=90\n[Piede]\n");
    WriteText(kData + "\\LEDRANA\\INI\\ZuFatturaPersonale.mod",
              "; Modulo personalizzato dall'utente: l'aggiornamento non lo "
              "tocca\n[Modulo]\nNome=ZuFatturaPersonale\n"
              "Carta=A4\n");
    EnsureFolder(kData + "\\Utenti");
    WriteText(kData + "\\Utenti\\Utente.ini",
              "[Utente]\nNome=Utente\nUltimaDitta=Alfa\n\n[Stampa]\nStampante=\nAnteprimaDiStampa=No\n");
}

CompanySpec Spec(const std::string& name, std::uint64_t seed, std::vector<int> years,
                 std::vector<std::pair<int, std::string>> anni, const std::string& vat) {
    CompanySpec s;
    s.name = name;
    s.seed = seed;
    s.years = std::move(years);
    s.anni = std::move(anni);
    s.vatCode = vat;
    return s;
}

// Alfa, Beta and Gamma of version 027 (and the old demo company). `alfaLines` > 0 makes Alfa large.
std::string OldCompanies(dao::DBEngine& engine, const Options& o, std::int64_t alfaLines) {
    Archives from{o.schemaDir, "-027", false, manifest::kStrictFields027};
    std::string summary;

    CompanySpec alfa = Spec("Alfa", 11, {2009, 2010}, {{2009, "027"}, {2010, "027"}}, "20");
    alfa.clients = 300, alfa.suppliers = 100, alfa.products = 250, alfa.lines = 6000, alfa.invoices = 500;
    alfa.nulls = true;
    if (alfaLines > 0) {
        alfa.years = {2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010};
        alfa.anni.clear();
        for (int y : alfa.years)
            alfa.anni.push_back({y, "027"});
        alfa.clients = 1500, alfa.suppliers = 400, alfa.products = 800, alfa.lines = alfaLines;
        alfa.invoices = 3000;
    }
    EnsureFolder(kData + "\\Alfa");
    summary +=
        "Alfa (versione 027, anni 027, un Null per ogni tipo di campo):\n" +
        MakeCompany(engine, from, alfa, kData + "\\Alfa\\Cont32.mdb", kData + "\\Alfa\\Scad32.mdb", "");
    // An attachment that version 027 made to the banks of the due-dates archive.
    {
        dao::Database db = engine.OpenDatabase(kData + "\\Alfa\\Cont32.mdb");
        dao::TableDef link =
            db.CreateTableDef("BancheScadenzario", 0, "BANCHE", ";DATABASE=" + kData + "\\Alfa\\Scad32.mdb");
        db.TableDefs().Append(link);
        db.Close();
    }
    WriteText(kData + "\\LEDRANA\\Alfa.ini",
              CompanyIni("Cont32.mdb", "Scad32.mdb",
                         "Ragsoc1=ALFA FORNITURE S.R.L.\nIndirizzo=VIA DELL'INDUSTRIA 14\nLocalita=MONZA\n"
                         "Piva=01928374650\nCodFsc=01928374650\nNuovoCliente=NO\nNuovoFornitore=Si\nDecP=##\n"
                         "ArrotImporto=1\n"));

    CompanySpec beta = Spec("Beta", 22, {2010}, {{2010, "027"}}, "20");
    beta.clients = 150, beta.suppliers = 60, beta.products = 120, beta.lines = 4500, beta.invoices = 400;
    beta.ownWithholding = false;
    EnsureFolder(kData + "\\Beta");
    summary += "Beta (versione 027, archivio contabile protetto da password):\n" +
               MakeCompany(engine, from, beta, kData + "\\Beta\\CONT32.MDB", kData + "\\Beta\\SCAD32.MDB",
                           kBetaPassword);
    WriteText(
        kData + "\\LEDRANA\\Beta.ini",
        CompanyIni(kData + "\\Beta\\CONT32.MDB", kData + "\\Beta\\SCAD32.MDB",
                   "Ragsoc1=BETA SERVIZI S.N.C.\nRagsoc2=DI ROSSI & BIANCHI\nLocalita=BERGAMO\n"
                   "Piva=02837465910\nNuovoCliente=si\nRegAutoIntraCee=0\nDirectoryRiba=C:\\ZU\\RIBA\\\n"));

    CompanySpec gamma = Spec("Gamma", 33, {2005}, {}, "20");
    gamma.storedYear = 0;
    gamma.clients = 120, gamma.suppliers = 50, gamma.products = 100, gamma.lines = 4000, gamma.invoices = 300;
    EnsureFolder(kData + "\\Gamma");
    summary +=
        "Gamma (tabella anni vuota, registrazioni del 2005 con anno 0):\n" +
        MakeCompany(engine, from, gamma, kData + "\\Gamma\\Cont32.mdb", kData + "\\Gamma\\Scad32.mdb", "");
    WriteText(kData + "\\LEDRANA\\Gamma.ini",
              CompanyIni("Cont32.mdb", "Scad32.mdb", "Ragsoc1=GAMMA IMPIANTI S.P.A.\nLocalita=TORINO\n"));

    CompanySpec demo = Spec("DittaEsempio", 44, {2010}, {{2010, "027"}}, "20");
    demo.clients = 8, demo.suppliers = 4, demo.products = 10, demo.lines = 80, demo.invoices = 10;
    EnsureFolder(kData + "\\DittaEsempio");
    summary += "DittaEsempio (la ditta dimostrativa della versione 027):\n" +
               MakeCompany(engine, from, demo, kData + "\\DittaEsempio\\Cont32.mdb",
                           kData + "\\DittaEsempio\\Scad32.mdb", "");
    WriteText(kData + "\\LEDRANA\\DittaEsempio.ini",
              CompanyIni("Cont32.Mdb", "Scad32.Mdb", "Ragsoc1=DITTA DI PROVA\nLocalita=MILANO\n"));
    return summary;
}

std::string MakeOld(const Options& o, std::int64_t alfaLines) {
    Start();
    OldIniFiles("027");
    dao::DBEngine engine;
    std::string summary = "Installazione " + o.kind + " (versione 027) in " + kData + "\n";
    summary += OldCompanies(engine, o, alfaLines);
    return summary + OldShortcuts();
}

std::string MakeOldLayout(const Options& o) {
    Start();
    OldIniFiles("019");
    dao::DBEngine engine;
    Archives from{o.schemaDir, "-027", false, {}};
    CompanySpec ditta = Spec("Ditta2000", 55, {2000, 2001}, {{2000, "019"}, {2001, "019"}}, "20");
    ditta.clients = 200, ditta.suppliers = 80, ditta.products = 150, ditta.lines = 5000, ditta.invoices = 400;
    EnsureFolder(kData + "\\ditta2000");
    EnsureFolder(kData + "\\ditta");
    std::string summary = "Installazione old-layout (una sola ditta, versione 019) in " + kData + "\n";
    summary += MakeCompany(engine, from, ditta, kData + "\\ditta2000\\cont32.mdb",
                           kData + "\\ditta\\scad32.mdb", "");
    return summary + OldShortcuts();
}

std::string MakeCurrent(const Options& o) {
    const std::string rel = o.release;
    if (!platform::FileExists(platform::WindowsPath(rel + "/CONT32.MDB")))
        throw Error(53, "manca la cartella di rilascio con CONT32.MDB: " + rel);
    Start();
    WriteText(kData + "\\LEDRANA\\INI\\INI.INI",
              "[Tempo]\nSecondi=0\n\n[Ver]\nAggiornamentoLedrana=048.5\nCondiz=Si\nPwd=SI\n");
    for (const auto& name : platform::ListFiles(platform::WindowsPath(rel), "Zu*.*"))
        CopyFromHost(rel + "/" + name, kData + "\\LEDRANA\\INI\\" + name);
    EnsureFolder(kData + "\\Utenti");
    CopyFromHost(rel + "/Utente.ini", kData + "\\Utenti\\Utente.ini");

    dao::DBEngine engine;
    Archives from{o.modelDb, "", false, {}};
    std::string summary = "Installazione current (versione 048.5) in " + kData + "\n";
    struct Company {
        CompanySpec spec;
        std::string cont, scad, password, config;
    };
    std::vector<Company> companies;
    companies.push_back({Spec("Alfa", 11, {2025, 2026}, {{2025, "048.5"}, {2026, "048.5"}}, "22"),
                         "Cont32.mdb", "Scad32.mdb", "", "Ragsoc1=ALFA FORNITURE S.R.L.\nLocalita=MONZA\n"});
    companies.push_back({Spec("Beta", 22, {2026}, {{2026, "048.5"}}, "22"), kData + "\\Beta\\CONT32.MDB",
                         kData + "\\Beta\\SCAD32.MDB", kBetaPassword, "Ragsoc1=BETA SERVIZI S.N.C.\n"});
    companies.push_back({Spec("Gamma", 33, {2005}, {{2005, "048.5"}}, "22"), "Cont32.mdb", "Scad32.mdb", "",
                         "Ragsoc1=GAMMA IMPIANTI S.P.A.\n"});
    companies[0].spec.clients = 300, companies[0].spec.lines = 6000, companies[0].spec.invoices = 500;
    companies[1].spec.lines = 4500;
    companies[2].spec.lines = 4000;
    for (auto& c : companies) {
        c.spec.ownWithholding = false; // the model's withholding taxes are there already
        const std::string folder = kData + "\\" + c.spec.name;
        EnsureFolder(folder + "\\immagini");
        EnsureFolder(folder + "\\descrizioni");
        CopyFromHost(rel + "/stampante.jpg", folder + "\\immagini\\stampante.jpg");
        CopyFromHost(rel + "/stampante.doc", folder + "\\descrizioni\\stampante.doc");
        auto path = [&](const std::string& p) {
            return p.find('\\') == std::string::npos ? folder + "\\" + p : p;
        };
        summary +=
            c.spec.name + ":\n" + MakeCompany(engine, from, c.spec, path(c.cont), path(c.scad), c.password);
        WriteText(kData + "\\LEDRANA\\" + c.spec.name + ".ini",
                  CompanyIni(c.cont, c.scad, UpdatedConfig(c.config)));
    }

    // The demo company as the update rebuilds it from the release folder.
    const std::string demo = kData + "\\DittaEsempio";
    EnsureFolder(demo + "\\immagini");
    EnsureFolder(demo + "\\descrizioni");
    CopyFromHost(rel + "/CONT32.MDB", demo + "\\Cont32.mdb");
    CopyFromHost(rel + "/SCAD32.MDB", demo + "\\Scad32.mdb");
    for (const char* f : {"logo.jpg", "NoteFinaliOrdF.txt", "NoteFinaliOrdOC.txt", "NoteFinaliOrdFC.txt"})
        CopyFromHost(rel + "/" + f, demo + "\\" + f);
    CopyFromHost(rel + "/stampante.jpg", demo + "\\immagini\\stampante.jpg");
    CopyFromHost(rel + "/stampante.doc", demo + "\\descrizioni\\stampante.doc");
    {
        dao::Database db = engine.OpenDatabase(demo + "\\Cont32.mdb");
        db.Execute("UPDATE TIPIFATTURECLI SET logo='logo.jpg'", dao::dbFailOnError);
        db.Close();
    }
    WriteText(
        kData + "\\LEDRANA\\DittaEsempio.ini",
        CompanyIni("Cont32.Mdb", "Scad32.Mdb",
                   UpdatedConfig("Ragsoc1=DITTA DI PROVA\nRagsoc2=DI ZORTEL KABU &C\nIndirizzo=VIA ROMA 3\n"
                                 "Localita=MILANO\nPiva=12345678903\nCodFsc=DDDGGG99H11U999K\n"
                                 "LogoOrdini=logo.jpg\nScrittaOrd=Ord.\nScrittaCommessa=Ns.Commessa\n")));
    summary += "DittaEsempio: copiata dalla cartella di rilascio\n";
    return summary;
}

} // namespace

std::string MakeInstallation(const Options& o) {
    std::string summary;
    bool protetta = true; // Beta's accounting archive has a password in every kind but the old layout
    if (o.kind == "old") {
        summary = MakeOld(o, 0);
    } else if (o.kind == "large") {
        summary = MakeOld(o, o.rows);
    } else if (o.kind == "old-layout") {
        summary = MakeOldLayout(o);
        protetta = false;
    } else if (o.kind == "current") {
        summary = MakeCurrent(o);
    } else {
        throw Error(5, "tipo di installazione sconosciuto: " + o.kind + " (old, old-layout, current, large)");
    }
    // Beside the machine, what it holds for whoever updates it, and the answers of an unattended run.
    const std::string prefix = platform::WindowsPath(platform::Prefix());
    std::string leggimi = "Installazione di prova di Tessaro (" + o.kind + ")\n" +
                          "Avviare AggiornaLedrana con TESSARO_PREFIX=" + platform::Prefix() + "\n";
    if (protetta) {
        platform::WriteAllBytes(prefix + "\\risposte.txt",
                                "# Risposte per aggiorna-batch --answers: la password della ditta Beta\n"
                                "if Ditta: Beta -> text:" +
                                    std::string(kBetaPassword) + "\n");
        // It holds a password: the user's own.
        ::chmod(platform::HostPath(prefix + "\\risposte.txt").c_str(), 0600);
        leggimi += "Esecuzione non presidiata: aggiorna-batch --answers " + platform::Prefix() +
                   "/risposte.txt (la password " + kBetaPassword + " della ditta Beta)\n";
    }
    platform::WriteAllBytes(prefix + "\\LEGGIMI.txt", leggimi + "\n" + summary);
    if (protetta)
        ::chmod(platform::HostPath(prefix + "\\LEGGIMI.txt").c_str(), 0600); // it names the password
    return summary;
}

} // namespace ledrana::mkinstall
