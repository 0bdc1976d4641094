// mkinstall PREFIX KIND [--rows N]: makes a sample installation of the product in a platform prefix (a
// folder that stands for a Windows machine: PREFIX/drive_c is C:). KIND is old, old-layout, current or
// large; --rows gives the journal lines of the large kind (default 1,000,000). The sources are the model
// manifests of the release and the older versions' manifests kept beside this tool; the current kind also
// copies from the release folder (--release DIR, default the build's release folder).
// Exit 0 with a summary on success; 1 with the error on standard error; 2 for wrong arguments.

#include "platform/error.h"
#include "platform/paths.h"
#include "tools/mkinstall/installation.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kHelp =
    "uso: mkinstall PREFIX old|old-layout|current|large [--rows N] [--release DIR]\n"
    "  PREFIX         la cartella che fa da macchina Windows (PREFIX/drive_c è C:)\n"
    "  old            la versione 027: le ditte Alfa, Beta (con password), Gamma e la ditta dimostrativa\n"
    "  old-layout     la versione 019, a una sola ditta (ditta\\scad32.mdb, ditta2000\\cont32.mdb)\n"
    "  current        la versione 048.5, già aggiornata\n"
    "  large          come old, con un giornale di N righe\n"
    "  --rows N       le righe del giornale di large (predefinito 1000000)\n"
    "  --release DIR  la cartella della versione nuova, per current (predefinita quella della build)\n"
    "  -h, --help     stampa questo testo\n"
    "uscita: 0 fatto, 1 errore (su standard error), 2 argomenti sbagliati\n";

} // namespace

int main(int argc, char** argv) {
    ledrana::mkinstall::Options options;
    options.modelDb = MKINSTALL_MODEL_DB;
    options.schemaDir = MKINSTALL_SCHEMA_DIR;
    options.release = MKINSTALL_RELEASE_DIR;
    std::string prefix;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("mkinstall %s (build %s)\n", MKINSTALL_VERSION, MKINSTALL_BUILD);
            return 0;
        }
        if (arg == "--rows" && i + 1 < argc) {
            options.rows = std::strtoll(argv[++i], nullptr, 10);
        } else if (arg == "--release" && i + 1 < argc) {
            options.release = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            prefix.clear();
            break;
        } else if (prefix.empty()) {
            prefix = arg;
        } else if (options.kind.empty()) {
            options.kind = arg;
        } else {
            prefix.clear();
            break;
        }
    }
    const bool known = options.kind == "old" || options.kind == "old-layout" || options.kind == "current" ||
                       options.kind == "large";
    if (prefix.empty() || !known || options.rows <= 0) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    try {
        ledrana::platform::SetPrefix(prefix);
        const std::string summary = ledrana::mkinstall::MakeInstallation(options);
        std::fputs(summary.c_str(), stdout);
        std::printf("prefisso %s: avviare il programma con TESSARO_PREFIX=%s\n",
                    ledrana::platform::Prefix().c_str(), ledrana::platform::Prefix().c_str());
        return 0;
    } catch (const ledrana::Error& e) {
        std::fprintf(stderr, "mkinstall: %d %s\n", e.number(), e.description().c_str());
        return 1;
    }
}
