// aggiorna-guasti: aggiorna-batch with faults that only a test asks for, given before the batch's own
// arguments:
//   --kill-at N    the process kills itself (SIGKILL) just before its N-th change to the file system
//                  (1 = the first), as a power cut or a killed process would stop it there
//   --trace FILE   writes one line per change: its number, the operation and the host path
//   --stop-at N    the process stops (SIGSTOP) just before its N-th change, after saying "stopped" on its
//                  standard error, so a test can act while it is in the middle of a run (SIGCONT goes on)
//   --fsize BYTES  no file may grow past BYTES (RLIMIT_FSIZE, with SIGXFSZ ignored): writes fail as on a
//                  full disk
//   --scratch-on-disk  every comparison's working copy is a file, however small its archive (it is held in
//                  memory up to 64 MB otherwise), so that faults can meet it
// The program itself has none of this: the hook is the platform's test hook, set here.

#include "app/batch_main.h"
#include "dao/dao.h"
#include "platform/files.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    long killAt = 0;
    long stopAt = 0;
    std::FILE* trace = nullptr;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--kill-at" && i + 1 < argc) {
            killAt = std::atol(argv[++i]);
        } else if (a == "--stop-at" && i + 1 < argc) {
            stopAt = std::atol(argv[++i]);
        } else if (a == "--trace" && i + 1 < argc) {
            trace = std::fopen(argv[++i], "w");
        } else if (a == "--scratch-on-disk") {
            ledrana::dao::DBEngine::SetScratchMemoryLimit(0);
        } else if (a == "--fsize" && i + 1 < argc) {
            const rlim_t limit = std::strtoull(argv[++i], nullptr, 10);
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit r{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &r) != 0) return 3;
        } else {
            rest.push_back(argv[i]);
        }
    }
    long count = 0;
    ledrana::platform::SetFileOperationHook([&](const char* operation, const std::string& host) {
        ++count;
        if (trace) {
            std::fprintf(trace, "%ld %s %s\n", count, operation, host.c_str());
            std::fflush(trace);
        }
        if (count == killAt) std::raise(SIGKILL);
        if (count == stopAt) {
            std::fputs("stopped\n", stderr);
            std::fflush(stderr);
            std::raise(SIGSTOP);
        }
    });
    rest.push_back(nullptr);
    const int status = ledrana::AggiornaBatchMain(static_cast<int>(rest.size()) - 1, rest.data());
    if (trace) std::fclose(trace);
    return status;
}
