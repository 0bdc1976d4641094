// aggiorna-batch: the update run without a window, for administrators and tests. It does what the window
// does (start-up, then the run as a click on "Esegui"), with the boxes answered from a file, and prints
// each box as it is shown and then the run log.
//
//   aggiorna-batch [--prefix DIR] [--model DIR] [--answers FILE] [--log FILE] [--boxes FILE]
//                  [--progress FILE]
//
// --progress FILE writes the progress bar as it is repainted: one line "value/maximum" each time what it
// shows changes, the last line being what it shows at the end.
//
// Exit status: 0 after "Aggiornamento eseguito", 1 after "Aggiornamento NON eseguito completamente",
// 2 when the program ended early (No at start-up, a password given up), 3 for wrong arguments.

#include "app/batch_main.h"

#include "app/batch_dialogs.h"
#include "app/run.h"
#include "app/window_events.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "window/aggiorna.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "uso: aggiorna-batch [--prefix CARTELLA] [--model CARTELLA] [--answers FILE] [--log FILE]\n"
    "                    [--boxes FILE] [--progress FILE]\n"
    "  --progress FILE  la barra di avanzamento: una riga \"valore/massimo\" a ogni cambiamento\n";

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
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--prefix" || arg == "--model" || arg == "--answers" || arg == "--log" ||
             arg == "--boxes" || arg == "--progress") &&
            i + 1 < argc) {
            options[arg] = argv[++i];
        } else {
            std::cerr << kUsage;
            return 3;
        }
    }

    BatchDialogs dialogs;
    if (options.count("--answers")) {
        std::ifstream in(options["--answers"], std::ios::binary);
        if (!in) {
            std::cerr << "aggiorna-batch: impossibile leggere " << options["--answers"] << "\n";
            return 3;
        }
        std::stringstream text;
        text << in.rdbuf();
        try {
            dialogs.Load(text.str());
        } catch (const Error& e) {
            std::cerr << "aggiorna-batch: " << e.description() << "\n";
            return 3;
        }
    }
    dialogs.SetObserver([](const BatchBox& box) { std::cout << BatchDialogs::ToLine(box) << std::endl; });

    // The stand-in machine; an unattended run opens no document and starts no program.
    platform::SetPrefix(options.count("--prefix") ? absolute(options["--prefix"]) : platform::Prefix());
    platform::SetShellOpener("");
    platform::SetProgramStarting(false);

    dao::DBEngine engine;
    Aggiorna w(dialogs, platform::WindowsPath(programFolder(argv[0])));
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
        if (options.count("--model"))
            w.CartellaDefault.text = platform::WindowsPath(absolute(options["--model"]));
        w.RunEvent([&] { Command2_Click(w, engine); });
    }

    const std::string& log = w.Text1.text;
    std::cout << "--- registro\n" << log << "\n";
    if (options.count("--log") && !writeHostFile(options["--log"], log))
        std::cerr << "aggiorna-batch: impossibile scrivere " << options["--log"] << "\n";
    if (options.count("--progress") && !writeHostFile(options["--progress"], progress))
        std::cerr << "aggiorna-batch: impossibile scrivere " << options["--progress"] << "\n";
    if (options.count("--boxes")) {
        std::string lines;
        for (const BatchBox& box : dialogs.boxes())
            lines += BatchDialogs::ToJson(box) + "\n";
        if (!writeHostFile(options["--boxes"], lines, 0600))
            std::cerr << "aggiorna-batch: impossibile scrivere " << options["--boxes"] << "\n";
    }

    if (log.find("\r\n->Aggiornamento NON eseguito completamente") != std::string::npos) return 1;
    if (log.find("\r\n->Aggiornamento eseguito") != std::string::npos) return 0;
    return 2;
}

} // namespace ledrana
