// aggiorna-batch: the update run without a window, for administrators and tests. It does what the window
// does (start-up, then the run as a click on "Esegui"), with the boxes answered from a file, and prints
// each box and each entry of the run log as it comes. Before anything is touched it checks the machine's
// folder, the answers file and the models. The options and exit statuses are those of kHelp below: a
// status never says more than the run did.
//
// --anteprima makes the run on copies of the installation (app/preview.h) and prints where the report of
// what it would do was written.

#include "app/batch_main.h"

#include "app/batch_dialogs.h"
#include "app/preview.h"
#include "app/restore.h"
#include "app/run.h"
#include "app/window_events.h"
#include "dao/dao.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/runlock.h"
#include "platform/shell.h"
#include "window/aggiorna.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ledrana {
namespace {

constexpr const char* kUsage =
    "uso: aggiorna-batch [--prefix CARTELLA] [--nuova-installazione] [--model CARTELLA] [--answers FILE]\n"
    "                    [--log FILE] [--boxes FILE] [--progress FILE] [--barra FILE] [--anteprima]\n"
    "                    [--conserva N]\n"
    "       aggiorna-batch [--prefix CARTELLA] --ripristina [AAAAMMGG-HHMMSS] [--forza] [--anteprima]\n"
    "       aggiorna-batch --version | --help\n";

constexpr const char* kHelp =
    "L'aggiornamento senza finestra: l'avvio, poi \"Esegui\"; stampa ogni finestra e ogni riga del registro\n"
    "man mano che l'esecuzione le scrive.\n"
    "  --prefix CARTELLA  la macchina da aggiornare (predefinita: TESSARO_PREFIX, altrimenti ~/.tessaro);\n"
    "                     deve esistere\n"
    "  --nuova-installazione\n"
    "                     la cartella di --prefix può mancare: viene creata per una nuova installazione\n"
    "  --model CARTELLA   la cartella della nuova versione (predefinita: quella del programma); deve\n"
    "                     contenere i modelli CONT32.MDB e SCAD32.MDB leggibili\n"
    "  --answers FILE     le risposte alle finestre, una per riga nell'ordine: OK, Yes, No, text:TESTO;\n"
    "                     \"if FRAMMENTO -> RISPOSTA\" risponde a ogni finestra che contiene FRAMMENTO;\n"
    "                     una finestra senza risposta prende il pulsante predefinito. Un file che\n"
    "                     contiene un testo (una password) deve essere leggibile solo dal proprietario\n"
    "  --log FILE         scrive il registro dell'esecuzione in FILE\n"
    "  --boxes FILE       scrive le finestre mostrate in FILE, una per riga in JSON\n"
    "  --progress FILE    lo stato dell'esecuzione, riscritto man mano (sostituito intero, mai a metà):\n"
    "                     una riga con valore/massimo della barra, percentuale, ditta, archivio, passo\n"
    "                     e secondi trascorsi, separati da tabulazioni\n"
    "  --barra FILE       la barra di avanzamento come è stata ridisegnata: una riga \"valore/massimo\"\n"
    "                     a ogni cambiamento, scritte alla fine\n"
    "  --anteprima        esegue tutto su copie degli archivi e dei file INI, senza cambiare nulla\n"
    "                     dell'installazione; scrive solo il rapporto ledrana\\rapporti\\anteprima-...html\n"
    "                     nella cartella dati e ne stampa il percorso; lo stato di uscita è quello che\n"
    "                     avrebbe l'aggiornamento (0, 1, 5, 6), o 4\n"
    "  --conserva N       quanti punti di ripristino di aggiornamenti restano nella cartella dati,\n"
    "                     compreso quello di questa esecuzione (predefinito: 1)\n"
    "  --ripristina [AAAAMMGG-HHMMSS]\n"
    "                     rimette la cartella dati com'era prima di un aggiornamento: come la tiene il\n"
    "                     punto di ripristino ledrana\\ripristino\\AAAAMMGG-HHMMSS (predefinito: quello\n"
    "                     dell'ultimo aggiornamento); ciò che sostituisce va in un punto di ripristino suo\n"
    "  --forza            con --ripristina: rimette anche gli archivi cambiati dopo l'aggiornamento\n"
    "  --anteprima        con --ripristina: dice che cosa farebbe, senza cambiare nulla\n"
    "  --version          stampa la versione del programma\n"
    "  -h, --help         stampa questo testo\n"
    "Su un terminale, una riga sullo standard error dice a che punto è l'esecuzione.\n"
    "Ogni esecuzione scrive il suo rapporto in ledrana\\rapporti\\aggiornamento-AAAAMMGG-HHMMSS.html\n"
    "nella cartella dati, ogni ripristino in ledrana\\rapporti\\ripristino-AAAAMMGG-HHMMSS.html.\n"
    "Prima di cambiare qualcosa, l'aggiornamento apre un punto di ripristino nella cartella dati:\n"
    "ledrana\\ripristino\\AAAAMMGG-HHMMSS, con gli archivi e i file come li ha trovati.\n"
    "Stato di uscita:\n"
    "  0  \"Aggiornamento eseguito\", con tutte le ditte e tutti gli archivi aggiornati\n"
    "  1  \"Aggiornamento NON eseguito completamente\"\n"
    "  2  argomenti sbagliati, o un controllo prima di iniziare non superato (modelli, cartelle,\n"
    "     risposte): nulla è stato toccato\n"
    "  3  il programma è terminato prima della fine (No all'avvio, una password non data)\n"
    "  4  anteprima: le copie non si sono potute preparare, o il rapporto non si è potuto scrivere\n"
    "  5  \"Aggiornamento eseguito\", ma una ditta o un archivio non è stato aggiornato completamente\n"
    "     (\"non aggiornato correttamente\", \"Impossibile aggiornare la ditta\", un archivio in uso,\n"
    "     un cambiamento rifiutato, un errore di un passo): il rapporto dice quale e perché\n"
    "  6  un altro aggiornamento tiene la cartella dati: nulla è stato modificato\n"
    "  8  l'aggiornamento è terminato come dicono 0 o 5, ma il suo rapporto non si è potuto scrivere\n"
    "Stato di uscita di --ripristina:\n"
    "  0  tutto ripristinato\n"
    "  2  argomenti sbagliati, o nessun punto di ripristino\n"
    "  6  un altro aggiornamento tiene la cartella dati\n"
    "  7  qualcosa non è stato ripristinato: un archivio cambiato dopo l'aggiornamento (senza --forza),\n"
    "     in uso, o che non si è potuto rimettere; il rapporto dice quale e perché\n";

#ifndef LEDRANA_BUILD
#define LEDRANA_BUILD "sconosciuta"
#endif

// A wrong command line: the fault first, then the usage.
int UsageError(const std::string& fault) {
    std::cerr << "aggiorna-batch: " << fault << "\n" << kUsage << "(aggiorna-batch --help per i dettagli)\n";
    return 2;
}

// A start check that failed: nothing has been touched.
int StartRefused(const std::string& why) {
    std::cerr << "aggiorna-batch: " << why << "\nNulla è stato modificato.\n";
    return 2;
}

std::string programFolder(const char* argv0) {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string self = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string(argv0);
    const auto slash = self.rfind('/');
    return slash == std::string::npos ? std::string(".") : self.substr(0, slash);
}

std::string absolute(const std::string& hostPath) {
    if (!hostPath.empty() && hostPath[0] == '/') return hostPath;
    char buf[4096];
    if (!getcwd(buf, sizeof buf)) return hostPath;
    return std::string(buf) + "/" + hostPath;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes an output file named on the command line (a link the user made there is written through). A new
// file is created with `mode`: the boxes file records what was typed into the boxes, so it is the user's
// own only.
bool writeHostFile(const std::string& hostPath, const std::string& bytes, mode_t mode = 0666) {
    const int fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return false;
    const bool written = writeAll(fd, bytes);
    return ::close(fd) == 0 && written;
}

// The models the run compares every archive with must be there and be archives the engine opens; a
// protected one counts (its password is asked when the run opens it). "" when they are, else the reason.
std::string ModelProblem(dao::DBEngine& engine, const std::string& folder) {
    if (!platform::FolderExists(folder))
        return "la cartella dei modelli " + platform::HostPath(folder) + " non esiste";
    for (const char* name : {"CONT32.MDB", "SCAD32.MDB"}) {
        const std::string path = folder + "\\" + name;
        const std::string host = platform::HostPath(path);
        if (!platform::FileExists(path))
            return "la cartella dei modelli " + platform::HostPath(folder) + " non contiene il modello " +
                   name + " (indicare la cartella della nuova versione con --model)";
        if (!dao::IsJetFile(host) && !engine.IsWholeDatabase(path))
            return "il modello " + host + " non è un archivio leggibile (danneggiato o di un altro tipo)";
        try {
            dao::Database db = engine.OpenDatabase(path, false, true);
            db.TableDefs().Count();
            db.Close();
        } catch (const Error& e) {
            if (e.number() != 3031)
                return "il modello " + host + " non si può aprire: " + std::to_string(e.number()) + " " +
                       e.description();
        }
    }
    return "";
}

// An answers file that gives a text (the password box's answer) must not be readable by other users.
std::string AnswersProblem(const std::string& hostPath, const std::string& text) {
    bool password = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        password = password || line.find("text:") != std::string::npos;
    struct stat st {};
    if (!password || ::stat(hostPath.c_str(), &st) != 0 || (st.st_mode & 077) == 0) return "";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "il file delle risposte " + hostPath +
           " contiene una password (una risposta text:) ed è leggibile da altri utenti (permessi " + mode +
           "): renderlo privato con chmod 600 " + hostPath;
}

// What the run is doing, as a watcher sees it: the --progress file, rewritten whole at each change by a
// file written beside it and renamed over it, and on a terminal one live line on standard error.
class ProgressView {
public:
    ProgressView(Aggiorna& w, std::string file) : w_(w), start_(std::chrono::steady_clock::now()) {
        if (!file.empty()) {
            // A link the user made there is followed once, here: the rename replaces its target.
            char real[PATH_MAX];
            file_ = ::realpath(file.c_str(), real) ? std::string(real) : file;
        }
        live_ = ::isatty(STDERR_FILENO) == 1;
    }

    // The state now; `step` "" for what the window shows as being worked on.
    void Update(const std::string& step = "") {
        const int value = w_.Pb.value, max = w_.Pb.max;
        const long seconds = static_cast<long>(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count());
        // Each field on one line and without tabs, whatever a name holds: a watcher splits at the tabs.
        const std::string company = OneLine(w_.runReport.RealNames(w_.runReport.currentCompany()));
        const std::string archive = OneLine(w_.runReport.RealNames(w_.runReport.currentArchive()));
        const std::string doing = OneLine(step.empty() ? w_.runReport.RealNames(w_.Label3.caption) : step);
        const int percent = max > 0 ? static_cast<int>(100L * value / max) : 0;
        const std::string line = std::to_string(value) + "/" + std::to_string(max) + "\t" +
                                 std::to_string(percent) + "%\t" + company + "\t" + archive + "\t" + doing +
                                 "\t" + std::to_string(seconds) + "\n";
        if (line != written_ && !file_.empty() && !failed_) WriteFile(line);
        written_ = line;
        if (live_) {
            std::string text = std::to_string(percent) + "% " + std::to_string(seconds) + " s";
            for (const std::string* part : {&company, &archive, &doing})
                if (!part->empty()) text += " | " + *part;
            shown_ = Fit(text);
            Draw();
        }
    }

    // Prints one line on standard output without mixing it with the live line.
    void Print(const std::string& text) {
        if (live_ && !shown_.empty()) std::cerr << "\r\033[K" << std::flush;
        std::cout << text << std::endl;
        Draw();
    }

    // The live line goes when the run is over.
    void Finish() {
        if (live_ && !shown_.empty()) std::cerr << "\r\033[K" << std::flush;
        shown_.clear();
        live_ = false;
    }

private:
    static std::string OneLine(std::string text) {
        for (char& c : text)
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        return text;
    }

    // The text cut to the terminal's width, at a character's start.
    static std::string Fit(const std::string& text) {
        winsize size{};
        const std::size_t width =
            ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 79;
        std::string out;
        std::size_t shown = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
            if (starts && ++shown > width) break;
            out += text[i];
        }
        return out;
    }

    void Draw() {
        if (live_ && !shown_.empty()) std::cerr << "\r\033[K" << shown_ << std::flush;
    }

    void WriteFile(const std::string& line) {
        // A fixed scratch name beside the file: whatever is there (a link someone planted) is removed,
        // never followed.
        const std::string scratch = file_ + ".scrittura";
        ::unlink(scratch.c_str());
        const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 && writeAll(fd, line);
        if (fd >= 0) ::close(fd);
        if (ok && ::rename(scratch.c_str(), file_.c_str()) == 0) return;
        ::unlink(scratch.c_str());
        failed_ = true;
        std::cerr << "aggiorna-batch: impossibile scrivere " << file_ << ": " << std::strerror(errno) << "\n";
    }

    Aggiorna& w_;
    std::string file_;
    std::chrono::steady_clock::time_point start_;
    bool live_ = false, failed_ = false;
    std::string written_, shown_;
};

// The command line as the report shows it: each word quoted where the shell would need it. No option takes
// a password (the answers come from a file), but a text answer written into an option by mistake is
// masked all the same.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string word = argv[i];
        if (word.find("text:") != std::string::npos) word = "***";
        const bool plain =
            !word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                    "0123456789-_./=:,+@%") == std::string::npos;
        if (!plain) {
            std::string quoted = "'";
            for (char c : word)
                quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            word = quoted + "'";
        }
        line += (i ? " " : "") + word;
    }
    return line;
}

// The exit status of a run (see kHelp), and for a preview what the real run would meet.
int RunStatus(const RunReport& report) {
    switch (report.End()) {
    case RunEnd::Done:
        return 0;
    case RunEnd::NotDone:
        return 1;
    case RunEnd::Interrupted:
        return 3;
    case RunEnd::Incomplete:
        return 5;
    case RunEnd::LockHeld:
        return 6;
    }
    return 3;
}

} // namespace

int AggiornaBatchMain(int argc, char** argv) {
    std::map<std::string, std::string> options;
    bool preview = false, restore = false, force = false, newInstallation = false;
    std::string when;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage << kHelp;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "aggiorna-batch " << kVersione << " (build " << LEDRANA_BUILD << ")\n";
            return 0;
        }
        if (arg == "--anteprima") {
            preview = true;
        } else if (arg == "--ripristina") {
            restore = true;
            if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) when = argv[++i];
        } else if (arg == "--forza") {
            force = true;
        } else if (arg == "--nuova-installazione") {
            newInstallation = true;
        } else if (arg == "--prefix" || arg == "--model" || arg == "--answers" || arg == "--log" ||
                   arg == "--boxes" || arg == "--progress" || arg == "--barra" || arg == "--conserva") {
            if (i + 1 >= argc) return UsageError("manca il valore di " + arg);
            if (options.count(arg)) return UsageError(arg + " è dato due volte");
            options[arg] = argv[++i];
        } else {
            return UsageError("opzione sconosciuta: " + arg);
        }
    }
    int kept = 1;
    if (options.count("--conserva")) {
        const std::string& n = options["--conserva"];
        kept = n.size() <= 3 && n.find_first_not_of("0123456789") == std::string::npos ? std::atoi(n.c_str())
                                                                                       : 0;
        if (kept < 1) return UsageError("--conserva vuole un numero da 1 a 999, non \"" + n + "\"");
    }
    // A restore takes the machine and nothing else; --forza belongs to it.
    if (force && !restore) return UsageError("--forza va solo con --ripristina");
    if (restore && options.size() > options.count("--prefix"))
        return UsageError("--ripristina prende solo --prefix, --forza e --anteprima");
    if (restore && newInstallation) return UsageError("--nuova-installazione non va con --ripristina");

    // Start checks: the machine, the answers and the models, before anything is touched.
    const std::string prefix = options.count("--prefix") ? absolute(options["--prefix"]) : platform::Prefix();
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (!newInstallation || restore)
            return StartRefused(
                "la cartella " + prefix + " non esiste" +
                (restore ? "" : ": per una nuova installazione aggiungere --nuova-installazione"));
        std::error_code ec;
        std::filesystem::create_directories(prefix, ec);
        if (ec) return StartRefused("impossibile creare la cartella " + prefix + ": " + ec.message());
    }
    platform::SetPrefix(prefix);
    if (restore) return Restore({when, force, preview}, std::cout);

    BatchDialogs dialogs;
    if (options.count("--answers")) {
        std::ifstream in(options["--answers"], std::ios::binary);
        if (!in) return StartRefused("impossibile leggere il file delle risposte " + options["--answers"]);
        std::stringstream text;
        text << in.rdbuf();
        const std::string why = AnswersProblem(absolute(options["--answers"]), text.str());
        if (!why.empty()) return StartRefused(why);
        try {
            dialogs.Load(text.str());
        } catch (const Error& e) {
            return StartRefused(e.description());
        }
    }

    // The stand-in machine; an unattended run opens no document and starts no program.
    platform::SetShellOpener("");
    platform::SetProgramStarting(false);
    // The program's and the model's folders are named before a preview puts its copies in place.
    const std::string programma = platform::WindowsPath(programFolder(argv[0]));
    const std::string modello =
        options.count("--model") ? platform::WindowsPath(absolute(options["--model"])) : "";

    dao::DBEngine engine;
    if (const std::string why = ModelProblem(engine, modello.empty() ? programma : modello); !why.empty())
        return StartRefused(why);

    Aggiorna w(dialogs, programma);
    w.restorePointsKept = kept;
    w.runReport.program = std::string("aggiorna-batch ") + kVersione + " (build " + LEDRANA_BUILD + ")";
    w.runReport.commandLine = CommandLine(argc, argv);
    ProgressView progress(w, options.count("--progress") ? absolute(options["--progress"]) : "");
    // A preview prints what it shows with the real folders' names, as its report does.
    dialogs.SetObserver([&w, &progress](const BatchBox& box) {
        progress.Print(w.runReport.RealNames(BatchDialogs::ToLine(box)));
    });
    w.onLog = [&w, &progress](const std::string& entry) {
        progress.Print("->" + w.runReport.RealNames(entry));
        progress.Update();
    };
    std::optional<Preview> copies;
    if (preview) {
        copies.emplace(platform::Prefix());
        try {
            copies->Prepare(engine, w.runReport);
        } catch (const platform::FolderHeld& e) {
            // Another update, preview or restore holds the data folder: the same status as a run's.
            std::cerr << "aggiorna-batch: " << e.description() << "\n";
            return 6;
        } catch (const Error& e) {
            std::cerr << "aggiorna-batch: anteprima impossibile: " << e.number() << " " << e.description()
                      << "\n";
            return 4;
        }
    }
    std::string bar;
    w.onRefresh = [&w, &bar, &progress, last = std::string()](const Control* control) mutable {
        if (control != &w.Pb) return;
        const std::string shown = std::to_string(w.Pb.value) + "/" + std::to_string(w.Pb.max);
        if (shown == last) return;
        bar += shown + "\n";
        last = shown;
        progress.Update();
    };
    w.RunEvent([&] { Form_Load(w); });
    if (!w.ended()) {
        if (!modello.empty()) w.CartellaDefault.text = modello;
        w.RunEvent([&] { Command2_Click(w, engine); });
    }
    progress.Update(w.runReport.outcome.empty() ? "terminato prima della fine" : w.runReport.outcome);
    progress.Finish();

    const std::string log = w.runReport.RealNames(w.Text1.text);
    if (options.count("--log") && !writeHostFile(options["--log"], log))
        std::cerr << "aggiorna-batch: impossibile scrivere " << options["--log"] << "\n";
    if (options.count("--barra") && !writeHostFile(options["--barra"], bar))
        std::cerr << "aggiorna-batch: impossibile scrivere " << options["--barra"] << "\n";
    if (options.count("--boxes")) {
        std::string lines;
        for (const BatchBox& box : dialogs.boxes())
            lines += w.runReport.RealNames(BatchDialogs::ToJson(box)) + "\n";
        if (!writeHostFile(options["--boxes"], lines, 0600))
            std::cerr << "aggiorna-batch: impossibile scrivere " << options["--boxes"] << "\n";
    }

    const int status = RunStatus(w.runReport);
    if (!w.runReport.file.empty()) std::cout << "rapporto: " << platform::HostPath(w.runReport.file) << "\n";
    if (preview) {
        if (w.runReport.file.empty()) {
            std::cerr << "aggiorna-batch: il rapporto dell'anteprima non si è potuto scrivere\n";
            return 4;
        }
        std::cout << "anteprima: l'aggiornamento terminerebbe con lo stato " << status;
        if (status == 5)
            std::cout << " (" << w.runReport.CompaniesNotUpdated() << " ditte e "
                      << w.runReport.ArchivesNotUpdated() << " archivi non aggiornati completamente)";
        std::cout << "\n";
        return status;
    }
    // A run that got far enough to write one must leave its report: when it could not, it says so.
    if (w.runReport.file.empty() && !w.runReport.dataFolder.empty()) {
        std::cerr << "aggiorna-batch: il rapporto dell'aggiornamento non si è potuto scrivere in "
                  << platform::HostPath(w.runReport.folder.empty()
                                            ? w.runReport.dataFolder + "\\ledrana\\rapporti"
                                            : w.runReport.folder)
                  << (w.runReport.reportError.empty() ? "" : ": " + w.runReport.reportError) << "\n";
        if (status == 0 || status == 5) return 8;
    }
    if (status == 5)
        std::cerr << "aggiorna-batch: aggiornamento eseguito, ma " << w.runReport.CompaniesNotUpdated()
                  << " ditte e " << w.runReport.ArchivesNotUpdated()
                  << " archivi non sono stati aggiornati completamente: vedere il rapporto\n";
    return status;
}

} // namespace ledrana
