// bench-import [FOLDER] [ROUNDS]: converts the Jet files of the test data (Northwind and the largest ones)
// into archives in FOLDER (default: a new temporary folder) and, in the same run, has mdb-export write the
// same tables to /dev/null, ROUNDS times each (default 5; the best round counts). Prints
//   NAME ours=SECONDS baseline=SECONDS ratio=R rows=N
// for each file, then peak_rss_mb=M (this process only: the conversion and its reading of the file).

#include "bench/measure.h"
#include "dao/dao.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace ledrana;
using namespace ledrana::bench;
std::string Quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

int main(int argc, char** argv) {
    if (auto status =
            HelpOrUsage(argc, argv,
                        "usage: bench-import [FOLDER] [ROUNDS]\n"
                        "  FOLDER      where the archives are written (default: a new temporary folder,\n"
                        "              removed afterwards)\n"
                        "  ROUNDS      rounds per file, the best one counts (default 5)\n"
                        "  -h, --help  prints this text\n",
                        2))
        return *status;
    const std::string corpus = std::string(LEDRANA_SOURCE_DIR) + "/tests/data/jet/";
    const std::vector<std::string> files = {"nwind.mdb",      "testRefGlobalV2000.mdb",
                                            "testV2000.mdb",  "testIndexCodesV1997.mdb",
                                            "test2V1997.mdb", "DateTestDatabase.mdb"};
    try {
        const std::string folder = argc > 1 ? argv[1] : platform::MakeTempFolder();
        const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
        dao::DBEngine engine;
        for (const std::string& file : files) {
            const std::string source = corpus + file;
            std::vector<std::string> tables; // the file's tables, from the conversion's report
            double ours = 1e9, baseline = 1e9;
            std::int64_t rows = 0;
            for (int r = 0; r < rounds; ++r) {
                const std::string dest = folder + "/" + file + ".db";
                std::remove(dest.c_str());
                auto t0 = Clock::now();
                dao::JetImportReport report = dao::ImportJetFile(engine, source, dest, file);
                ours = std::min(ours, Seconds(t0));
                rows = 0;
                tables.clear();
                for (const auto& t : report.tables) {
                    rows += t.rows;
                    tables.push_back(t.name);
                }
                std::remove(dest.c_str());

                std::string command;
                for (const auto& t : tables)
                    command += "mdb-export " + Quoted(source) + " " + Quoted(t) + " >/dev/null;";
                t0 = Clock::now();
                if (std::system(command.c_str()) != 0)
                    std::fprintf(stderr, "mdb-export failed on %s\n", file.c_str());
                baseline = std::min(baseline, Seconds(t0));
            }
            std::printf("%s ours=%.3f baseline=%.3f ratio=%.2f rows=%lld\n", file.c_str(), ours, baseline,
                        baseline > 0 ? ours / baseline : 0.0, static_cast<long long>(rows));
            std::fflush(stdout);
        }
        std::printf("peak_rss_mb=%ld\n", static_cast<long>(PeakRssMb()));
        if (argc <= 1) platform::RmDir(platform::WindowsPath(folder));
    } catch (const Error& e) {
        std::fprintf(stderr, "%d %s\n", e.number(), e.description().c_str());
        return 1;
    }
    return 0;
}
