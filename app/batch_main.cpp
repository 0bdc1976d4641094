// aggiorna-batch: the update run without a window, for administrators and tests. It does what the window
// does (start-up, then the run as a click on "Esegui"), with the boxes answered from a file, and prints
// each box as it is shown and then the run log. The options and exit statuses are those of kHelp below.
//
// --anteprima makes the run on copies of the installation (app/preview.h) and prints where the report of
// what it would do was written.

#include "app/batch_main.h"

#include "app/batch_dialogs.h"
#include "app/preview.h"
#include "app/restore.h"
#include "app/run.h"
#include "app/window_events.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "window/aggiorna.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kHelp =
    "uso: aggiorna-batch [--prefix CARTELLA] [--model CARTELLA] [--answers FILE] [--log FILE]\n"
    "                    [--boxes FILE] [--progress FILE] [--anteprima] [--conserva N]\n"
    "       aggiorna-batch [--prefix CARTELLA] --ripristina [AAAAMMGG-HHMMSS] [--forza] [--anteprima]\n"
    "L'aggiornamento senza finestra: l'avvio, poi \"Esegui\"; stampa ogni finestra e alla fine il registro.\n"
    "  --prefix CARTELLA  la macchina da aggiornare (predefinita: TESSARO_PREFIX, altrimenti ~/.tessaro)\n"
    "  --model CARTELLA   la cartella della nuova versione (predefinita: quella del programma)\n"
    "  --answers FILE     le risposte alle finestre, una per riga nell'ordine: OK, Yes, No, text:TESTO;\n"
    "                     \"if FRAMMENTO -> RISPOSTA\" risponde a ogni finestra che contiene FRAMMENTO;\n"
    "                     una finestra senza risposta prende il pulsante predefinito\n"
    "  --log FILE         scrive il registro dell'esecuzione in FILE\n"
    "  --boxes FILE       scrive le finestre mostrate in FILE, una per riga in JSON\n"
    "  --progress FILE    la barra di avanzamento: una riga \"valore/massimo\" a ogni cambiamento\n"
    "  --anteprima        esegue tutto su copie degli archivi e dei file INI, senza cambiare nulla\n"
    "                     dell'installazione; scrive solo il rapporto ledrana\\rapporti\\anteprima-...html\n"
    "                     nella cartella dati e ne stampa il percorso\n"
    "  --conserva N       quanti punti di ripristino di aggiornamenti restano nella cartella dati,\n"
    "                     compreso quello di questa esecuzione (predefinito: 1)\n"
    "  --ripristina [AAAAMMGG-HHMMSS]\n"
    "                     rimette la cartella dati com'era prima di un aggiornamento: come la tiene il\n"
    "                     punto di ripristino ledrana\\ripristino\\AAAAMMGG-HHMMSS (predefinito: quello\n"
    "                     dell'ultimo aggiornamento); ciò che sostituisce va in un punto di ripristino suo\n"
    "  --forza            con --ripristina: rimette anche gli archivi cambiati dopo l'aggiornamento\n"
    "  --anteprima        con --ripristina: dice che cosa farebbe, senza cambiare nulla\n"
    "  -h, --help         stampa questo testo\n"
    "Ogni esecuzione scrive il suo rapporto in ledrana\\rapporti\\aggiornamento-AAAAMMGG-HHMMSS.html\n"
    "nella cartella dati, ogni ripristino in ledrana\\rapporti\\ripristino-AAAAMMGG-HHMMSS.html.\n"
    "Prima di cambiare qualcosa, l'aggiornamento apre un punto di ripristino nella cartella dati:\n"
    "ledrana\\ripristino\\AAAAMMGG-HHMMSS, con gli archivi e i file come li ha trovati.\n"
    "Stato di uscita:\n"
    "  0  \"Aggiornamento eseguito\"\n"
    "  1  \"Aggiornamento NON eseguito completamente\"\n"
    "  2  argomenti sbagliati\n"
    "  3  il programma è terminato prima della fine (No all'avvio, una password non data)\n"
    "  4  anteprima: le copie non si sono potute preparare, o il rapporto non si è potuto scrivere\n"
    "Stato di uscita di --ripristina:\n"
    "  0  tutto ripristinato\n"
    "  2  argomenti sbagliati, o nessun punto di ripristino\n"
    "  6  un altro aggiornamento tiene la cartella dati\n"
    "  7  qualcosa non è stato ripristinato: un archivio cambiato dopo l'aggiornamento (senza --forza),\n"
    "     in uso, o che non si è potuto rimettere; il rapporto dice quale e perché\n";

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

// Writes an output file named on the command line (a link the user made there is written through). A new
// file is created with `mode`: the boxes file records what was typed into the boxes, so it is the user's
// own only.
bool writeHostFile(const std::string& hostPath, const std::string& bytes, mode_t mode = 0666) {
    const int fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && done == bytes.size();
}

} // namespace

namespace ledrana {

int AggiornaBatchMain(int argc, char** argv) {
    std::map<std::string, std::string> options;
    bool preview = false, restore = false, force = false;
    std::string when;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return 0;
        }
        if (arg == "--anteprima") {
            preview = true;
        } else if (arg == "--ripristina") {
            restore = true;
            if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) when = argv[++i];
        } else if (arg == "--forza") {
            force = true;
        } else if ((arg == "--prefix" || arg == "--model" || arg == "--answers" || arg == "--log" ||
                    arg == "--boxes" || arg == "--progress" || arg == "--conserva") &&
                   i + 1 < argc) {
            options[arg] = argv[++i];
        } else {
            std::cerr << kHelp;
            return 2;
        }
    }
    int kept = 1;
    if (options.count("--conserva")) {
        const std::string& n = options["--conserva"];
        kept = n.size() <= 3 && n.find_first_not_of("0123456789") == std::string::npos ? std::atoi(n.c_str())
                                                                                       : 0;
    }
    // A restore takes the machine and nothing else; --forza belongs to it.
    if (kept < 1 || (force && !restore) || (restore && (options.size() > options.count("--prefix")))) {
        std::cerr << kHelp;
        return 2;
    }
    if (restore) {
        platform::SetPrefix(options.count("--prefix") ? absolute(options["--prefix"]) : platform::Prefix());
        return Restore({when, force, preview}, std::cout);
    }

    BatchDialogs dialogs;
    if (options.count("--answers")) {
        std::ifstream in(options["--answers"], std::ios::binary);
        if (!in) {
            std::cerr << "aggiorna-batch: impossibile leggere " << options["--answers"] << "\n";
            return 2;
        }
        std::stringstream text;
        text << in.rdbuf();
        try {
            dialogs.Load(text.str());
        } catch (const Error& e) {
            std::cerr << "aggiorna-batch: " << e.description() << "\n";
            return 2;
        }
    }

    // The stand-in machine; an unattended run opens no document and starts no program.
    const std::string prefix = options.count("--prefix") ? absolute(options["--prefix"]) : platform::Prefix();
    platform::SetPrefix(prefix);
    platform::SetShellOpener("");
    platform::SetProgramStarting(false);
    // The program's and the model's folders are named before a preview puts its copies in place.
    const std::string programma = platform::WindowsPath(programFolder(argv[0]));
    const std::string modello =
        options.count("--model") ? platform::WindowsPath(absolute(options["--model"])) : "";

    dao::DBEngine engine;
    Aggiorna w(dialogs, programma);
    w.restorePointsKept = kept;
    // A preview prints what it shows with the real folders' names, as its report does.
    dialogs.SetObserver([&w](const BatchBox& box) {
        std::cout << w.runReport.RealNames(BatchDialogs::ToLine(box)) << std::endl;
    });
    std::optional<Preview> copies;
    if (preview) {
        copies.emplace(platform::Prefix());
        try {
            copies->Prepare(engine, w.runReport);
        } catch (const Error& e) {
            std::cerr << "aggiorna-batch: anteprima impossibile: " << e.number() << " " << e.description()
                      << "\n";
            return 4;
        }
    }
    std::string progress;
    w.onRefresh = [&w, &progress, last = std::string()](const Control* control) mutable {
        if (control != &w.Pb) return;
        const std::string shown = std::to_string(w.Pb.value) + "/" + std::to_string(w.Pb.max);
        if (shown == last) return;
        progress += shown + "\n";
        last = shown;
    };
    w.RunEvent([&] { Form_Load(w); });
    if (!w.ended()) {
        if (!modello.empty()) w.CartellaDefault.text = modello;
        w.RunEvent([&] { Command2_Click(w, engine); });
    }

    const std::string log = w.runReport.RealNames(w.Text1.text);
    std::cout << "--- registro\n" << log << "\n";
    if (options.count("--log") && !writeHostFile(options["--log"], log))
        std::cerr << "aggiorna-batch: impossibile scrivere " << options["--log"] << "\n";
    if (options.count("--progress") && !writeHostFile(options["--progress"], progress))
        std::cerr << "aggiorna-batch: impossibile scrivere " << options["--progress"] << "\n";
    if (options.count("--boxes")) {
        std::string lines;
        for (const BatchBox& box : dialogs.boxes())
            lines += w.runReport.RealNames(BatchDialogs::ToJson(box)) + "\n";
        if (!writeHostFile(options["--boxes"], lines, 0600))
            std::cerr << "aggiorna-batch: impossibile scrivere " << options["--boxes"] << "\n";
    }

    if (!w.runReport.file.empty()) std::cout << "rapporto: " << platform::HostPath(w.runReport.file) << "\n";
    if (preview && w.runReport.file.empty()) {
        std::cerr << "aggiorna-batch: il rapporto dell'anteprima non si è potuto scrivere\n";
        return 4;
    }
    if (log.find("\r\n->Aggiornamento NON eseguito completamente") != std::string::npos) return 1;
    if (log.find("\r\n->Aggiornamento eseguito") != std::string::npos) return 0;
    return 3;
}

} // namespace ledrana
