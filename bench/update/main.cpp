// bench-update: a whole unattended update of a sample installation, measured against the archives it
// updates:
//
//   bench-update [old|large] [--rows N] [--work DIR]
//
// The sample (default old; large with N journal lines in Alfa's accounting archive, default 200000) is made
// in DIR (default bench-work/update in the build folder; DIR/drive_c, the machine of an earlier run, is
// removed first), then updated in this process as
// aggiorna-batch updates it, with the answers the sample leaves for an unattended run. Prints:
//   archives_mb=MB data_folder_mb=MB    the archives of the data folder before the run, and all its files
//   written_mb=MB written_x_archives=X  what the run passed to write calls (the kernel's count for this
//                                       process), and its ratio to the archives
//   disk_mb=MB disk_x_archives=X        the data folder after the run, each file once however many names
//                                       it has, and its ratio to the archives; then one line per kind of
//                                       file ("disk KIND mb=MB")
//   seconds=S peak_rss_mb=M status=N    the run's elapsed time, its memory peak and exit status

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/batch_main.h"
#include "bench/measure.h"
#include "platform/error.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tools/mkinstall/installation.h"

namespace ledrana::bench {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp = "usage: bench-update [old|large] [--rows N] [--work DIR]\n"
                              "  old|large   the sample installation updated (default old)\n"
                              "  --rows N    journal lines of the large sample (default 200000)\n"
                              "  --work DIR  where the sample is made (its drive_c removed first; default "
                              "bench-work/update in the build\n"
                              "              folder)\n";

// The bytes of the regular files under `root`, each file once however many names it has, by what they are:
// the archives, the restore point's archives and other files, compaction leftovers, recovery archives,
// journals of converted values, reports, and the rest. A file with several names counts as its first kind.
std::map<std::string, std::int64_t> DiskUse(const fs::path& root) {
    std::map<std::pair<dev_t, ino_t>, std::pair<std::int64_t, std::set<std::string>>> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const std::string u = UCase(fs::relative(it->path(), root).string());
        const bool point = u.find("LEDRANA/RIPRISTINO/") != std::string::npos;
        const bool mdb = u.size() > 4 && u.compare(u.size() - 4, 4, ".MDB") == 0;
        std::string kind = u.find("_RIMOSSI_") != std::string::npos       ? "5 recovery_archives"
                           : u.find("_CONVERSIONI_") != std::string::npos ? "6 journals"
                           : mdb ? (point ? "2 restore_point_archives" : "1 archives")
                           : u.find(".MDB.TMP") != std::string::npos          ? "4 compaction_tmp"
                           : u.find("LEDRANA/RAPPORTI/") != std::string::npos ? "8 reports"
                           : point                                            ? "3 restore_point_files"
                                                                              : "9 other_files";
        if (u.find("DITTAESEMPIO") != std::string::npos) kind += "_demo";
        auto& f = files[{st.st_dev, st.st_ino}];
        f.first = st.st_size;
        f.second.insert(kind);
    }
    std::map<std::string, std::int64_t> out;
    for (const auto& [id, f] : files)
        out[*f.second.begin()] += f.first;
    return out;
}

std::int64_t Total(const std::map<std::string, std::int64_t>& use) {
    std::int64_t total = 0;
    for (const auto& [kind, bytes] : use)
        total += bytes;
    return total;
}

double Mb(std::int64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

int Main(int argc, char** argv) {
    mkinstall::Options options;
    options.kind = "old";
    options.rows = 200000;
    options.modelDb = LEDRANA_SOURCE_DIR "/model/db";
    options.schemaDir = LEDRANA_SOURCE_DIR "/tools/mkinstall/schema";
    options.release = LEDRANA_RELEASE_DIR;
    std::string work = LEDRANA_BENCH_WORK;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (a == "--version") {
            PrintVersion(argv[0]);
            return 0;
        }
        if (a == "--rows" && i + 1 < argc) {
            options.rows = std::strtoll(argv[++i], nullptr, 10);
        } else if (a == "--work" && i + 1 < argc) {
            work = argv[++i];
        } else if (a == "old" || a == "large") {
            options.kind = a;
        } else {
            std::fputs(kHelp, stderr);
            return 2;
        }
    }
    if (options.rows <= 0) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    PrintVersion(argv[0]);
    // The machine of an earlier run goes (drive_c, which the sample makes), nothing else of the folder.
    std::error_code ec;
    fs::remove_all(fs::path(work) / "drive_c", ec);
    fs::create_directories(work);
    platform::SetPrefix(work);
    std::fputs(mkinstall::MakeInstallation(options).c_str(), stderr);
    const fs::path data = platform::HostPath("C:\\ZU");
    const auto found = DiskUse(data);
    std::int64_t archives = 0; // the companies' and the demo company's
    for (const auto& [kind, bytes] : found)
        if (kind.rfind("1 archives", 0) == 0) archives += bytes;
    if (archives == 0) throw Error(53, "nessun archivio in " + data.string());
    std::printf("sample=%s archives_mb=%.1f data_folder_mb=%.1f\n", options.kind.c_str(), Mb(archives),
                Mb(Total(found)));
    std::fflush(stdout); // before the run's own lines

    std::string prefixArg = work, modelArg = LEDRANA_RELEASE_DIR, answersArg = work + "/risposte.txt";
    std::vector<char*> args = {
        argv[0],         const_cast<char*>("--prefix"),  prefixArg.data(), const_cast<char*>("--model"),
        modelArg.data(), const_cast<char*>("--answers"), answersArg.data()};
    std::ofstream("/proc/self/clear_refs") << "5"; // the memory peak of the run alone
    const std::int64_t before = WrittenBytes();
    const Clock::time_point t0 = Clock::now();
    const int status = AggiornaBatchMain(static_cast<int>(args.size()), args.data());
    const double seconds = Seconds(t0);
    const std::int64_t written = WrittenBytes() - before;
    std::printf("written_mb=%.1f written_x_archives=%.2f\n", Mb(written),
                static_cast<double>(written) / static_cast<double>(archives));
    const auto use = DiskUse(data);
    std::printf("disk_mb=%.1f disk_x_archives=%.2f\n", Mb(Total(use)),
                static_cast<double>(Total(use)) / static_cast<double>(archives));
    for (const auto& [kind, bytes] : use)
        std::printf("disk %s mb=%.2f\n", kind.substr(2).c_str(), Mb(bytes));
    std::printf("seconds=%.2f peak_rss_mb=%.1f status=%d\n", seconds, PeakRssMb(), status);
    return status == 0 ? 0 : 1;
}

} // namespace
} // namespace ledrana::bench

int main(int argc, char** argv) {
    // As aggiorna-batch sets the memory up, so that the peak is the program's.
    ledrana::platform::ReturnLargeBlocksToSystem();
    try {
        return ledrana::bench::Main(argc, argv);
    } catch (const ledrana::Error& e) {
        std::fprintf(stderr, "bench-update: %d %s\n", e.number(), e.description().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-update: %s\n", e.what());
        return 1;
    }
}
