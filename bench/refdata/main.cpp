// bench-refdata [LINES | PREFIX] [FOLDER]: times AggiornaCampiVari and AggiornaDiversi on a large accounting
// archive beside one VACUUM INTO of the same archive, measured in the same run. The archive is Alfa's of the
// large sample installation in PREFIX (mkinstall PREFIX large), brought to the shape the comparison leaves,
// or, when a number of journal lines is given (default 1,000,000), a sample of that size made here. Work
// files go to FOLDER (default bench-work/refdata in the build folder). Prints
//   NAME ours=SECONDS baseline=SECONDS ratio=R
// for aggiorna_campi_vari and aggiorna_diversi, then peak_rss_mb=M.

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "bench/measure.h"
#include "bench/refdata/campione.h"
#include "dao/dao.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/scripted_dialogs.h"
#include "refdata/refdata.h"
#include "window/aggiorna.h"

namespace {

using namespace ledrana::bench;

struct CloseSqlite {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

// SQLite's own copy of a database file: the baseline, and the copy the procedures then work on.
void VacuumInto(const std::string& from, const std::string& to) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(from.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, CloseSqlite> db(raw);
    if (rc != SQLITE_OK) throw ledrana::Error(3024, "cannot open " + from);
    std::string quoted;
    for (char c : to)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    if (sqlite3_exec(db.get(), ("VACUUM INTO '" + quoted + "'").c_str(), nullptr, nullptr, nullptr) !=
        SQLITE_OK)
        throw ledrana::Error(3051, sqlite3_errmsg(db.get()));
}

std::int64_t Count(ledrana::dao::Database& db, const std::string& sql) {
    ledrana::dao::Recordset rs = db.OpenRecordset(sql);
    const std::int64_t n = rs.Fields()[0].Value().ToLong();
    rs.Close();
    return n;
}

bool IsNumber(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

int main(int argc, char** argv) {
    using namespace ledrana;
    if (auto status = bench::HelpOrUsage(
            argc, argv,
            "usage: bench-refdata [LINES | PREFIX] [FOLDER]\n"
            "  LINES       journal lines of a sample archive made here (default 1000000)\n"
            "  PREFIX      a large sample installation (mkinstall PREFIX large): its company Alfa\n"
            "  FOLDER      scratch folder (default bench-work/refdata in the build folder)\n"
            "  -h, --help  prints this text\n",
            2))
        return *status;
    const std::string first = argc > 1 ? argv[1] : "1000000";
    const std::string folder = argc > 2 ? argv[2] : LEDRANA_BENCH_WORK;
    const std::string sample = folder + "/bench-refdata-sample.mdb";
    const std::string work = folder + "/bench-refdata-work.mdb";
    std::remove(sample.c_str());
    std::remove(work.c_str());
    try {
        {
            dao::DBEngine engine;
            if (IsNumber(first)) {
                bench::CreaCampione(engine, sample, std::stoll(first));
            } else {
                platform::SetPrefix(first);
                VacuumInto(platform::HostPath("C:\\ZU\\Alfa\\Cont32.mdb"), sample);
                bench::PreparaArchivio(engine, sample);
            }
        }

        auto t0 = Clock::now();
        VacuumInto(sample, work);
        const double vacuum = Seconds(t0);

        dao::DBEngine engine;
        ScriptedDialogs dialogs;
        Aggiorna w(dialogs, "C:\\Programmi\\Tessaro");
        w.engine = &engine;
        w.Aggiornamento.caption = "048.5";
        {
            dao::Database db = engine.OpenDatabase(work);
            std::printf("lines=%lld entries=%lld outside_vat=%lld\n",
                        static_cast<long long>(Count(db, "SELECT Count(*) FROM MOVIMENTI")),
                        static_cast<long long>(Count(db, "SELECT Count(*) FROM Articoli")),
                        static_cast<long long>(Count(db, "SELECT Count(*) FROM Articoli WHERE Riva=''")));
            db.Close();
        }

        t0 = Clock::now();
        const bool campi = AggiornaCampiVari(w, work);
        const double campiTime = Seconds(t0);
        t0 = Clock::now();
        const bool diversi = AggiornaDiversi(w, work);
        const double diversiTime = Seconds(t0);
        if (!campi || !diversi) {
            std::fprintf(stderr, "AggiornaCampiVari %s, AggiornaDiversi %s%s\n", campi ? "ok" : "failed",
                         diversi ? "ok" : "failed", w.Text1.text.c_str());
            return 1;
        }
        {
            dao::Database db = engine.OpenDatabase(work);
            std::printf("diversi=%lld\n", static_cast<long long>(Count(
                                              db, "SELECT Count(*) FROM Articoli WHERE conto='DIVERSI'")));
            db.Close();
        }

        Line("aggiorna_campi_vari", campiTime, vacuum);
        Line("aggiorna_diversi", diversiTime, vacuum);
        std::printf("peak_rss_mb=%ld\n", static_cast<long>(PeakRssMb()));
        std::remove(sample.c_str());
        std::remove(work.c_str());
    } catch (const Error& e) {
        std::fprintf(stderr, "%d %s\n", e.number(), e.description().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
