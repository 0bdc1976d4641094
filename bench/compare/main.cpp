// bench-compare: how long the comparison of a large accounting archive with its model takes, step by step
// and through Ponteval, beside a VACUUM INTO of the same archive made by SQLite in the same run.
//
//   bench-compare [--rows N] [--nulls rows|scattered] [--work DIR] [--model FILE] [--archive FILE]
//                 [--repeat N]
//
// DIR (default bench-work/compare in the build folder) holds the scratch files. Without --model the model
// CONT32.MDB is made in DIR from model/db. Without --archive an archive as version 027 left it
// (tools/mkinstall/schema) is made there too, holding N movements (default 100000) whose Null fields fall in
// the same rows (--nulls rows, the default) or each in rows of its own (--nulls scattered);
// the large sample installation gives one instead:
//   mkinstall PREFIX large --rows N && bench-compare --archive PREFIX/drive_c/ZU/Alfa/Cont32.mdb
// The archive given is only read: the comparisons run on copies. Prints one line
// per step and one for Ponteval, "NAME ours=SECONDS baseline=SECONDS ratio=R", then the lines
// one_pass_floor (the end state of Ponteval written by SQLite in one pass per changed table, then
// compacted: the floor of the storage), one_rewrite_floor (that end state written by SQLite into a new file
// in one pass, the rewritten tables row by row: the floor of the compaction alone) and
// same_changes_sqlite_alone (the same changes made by SQLite step by step), then "peak_rss_mb=M". The
// baseline of the steps is the VACUUM INTO made first; the lines after them each take one made just before
// them, as the machine's load may have changed meanwhile. Each step, steps_total and Ponteval (with its
// compaction) have a second line, "NAME written_mb=MB written_x_archive=X peak_rss_mb=M": the megabytes
// written and their ratio to the archive's size; Ponteval's adds those of the VACUUM INTO made just before it
// and the ratios to it (vacuum_into_written_mb, written_x_vacuum_into, time_x_vacuum_into). Then
// Ponteval_vs_one_rewrite_floor sets Ponteval's seconds beside one_rewrite_floor's, and
// Ponteval_cpu_vs_one_rewrite_floor their processor seconds, which the load of other processes on a shared
// machine leaves alone; both sides run N times (--repeat, default 3), each on a fresh copy, and those two
// lines take the best run of each.

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/compare/campione.h"
#include "bench/measure.h"
#include "dao/dao.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/scripted_dialogs.h"
#include "platform/text.h"
#include "schema/confronto.h"
#include "tools/manifest/manifest.h"
#include "window/aggiorna.h"

namespace ledrana::bench {
namespace {

// A connection of SQLite's own to a host file, opened with `flags` and closed with the object.
class SqliteFile {
public:
    SqliteFile(const std::string& host, int flags)
        : ok_(sqlite3_open_v2(host.c_str(), &db_, flags, nullptr) == SQLITE_OK) {}
    ~SqliteFile() { sqlite3_close_v2(db_); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;
    sqlite3* get() const { return db_; }
    bool ok() const { return ok_; }

private:
    sqlite3* db_ = nullptr;
    bool ok_;
};

void AzzeraPicco();

// Bytes this process has written so far through write calls, from the kernel's io file.
double ScrittiMb() {
    return static_cast<double>(WrittenBytes()) / (1024.0 * 1024.0);
}

// Time spent in each step, in the order the steps first ran, and the highest memory peak of each.
class Tempi {
public:
    template <class F> void Misura(const std::string& nome, F&& f) {
        AzzeraPicco();
        const double scritti = ScrittiMb();
        const Clock::time_point t0 = Clock::now();
        try {
            f();
        } catch (const Error& e) {
            ++errori_;
            std::cerr << nome << ": " << e.what() << "\n";
        }
        Aggiungi(nome, Seconds(t0));
        scritti_[nome] += ScrittiMb() - scritti;
        double& p = picchi_[nome];
        p = std::max(p, PeakRssMb());
    }
    double Picco(const std::string& nome) const {
        const auto it = picchi_.find(nome);
        return it == picchi_.end() ? 0.0 : it->second;
    }
    double Scritti(const std::string& nome) const {
        const auto it = scritti_.find(nome);
        return it == scritti_.end() ? 0.0 : it->second;
    }
    void Aggiungi(const std::string& nome, double s) {
        for (auto& [n, t] : voci_) {
            if (n == nome) {
                t += s;
                return;
            }
        }
        voci_.emplace_back(nome, s);
    }
    const std::vector<std::pair<std::string, double>>& voci() const { return voci_; }
    int errori() const { return errori_; }

private:
    std::vector<std::pair<std::string, double>> voci_;
    std::map<std::string, double> picchi_;
    std::map<std::string, double> scritti_;
    int errori_ = 0;
};

// The driver's passes, each step timed on its own.
void PassiMisurati(Aggiorna& w, Tempi& t) {
    w.ErroreConfronto = vbFalse;
    t.Misura("ApreDb", [&] {
        w.Db1 = ApreDb(w, w.NomeDb1);
        w.Db2 = ApreDb(w, w.NomeDb2);
        w.Db2.DeferIndexBuilds(true);
    });
    const int n = w.Db1.TableDefs().Count();
    for (int i = 0; i < n; ++i) {
        dao::TableDef TD1 = w.Db1.TableDefs()[i];
        if (TD1.Attributes() != 0) continue;
        t.Misura("Confr_CreaTabella", [&] { Confr_CreaTabella(w, TD1, w.Db2); });
        dao::TableDef TD2 = w.Db2.TableDefs()[TD1.Name()];
        t.Misura("Confr_CreaField", [&] { Confr_CreaField(w, TD1, TD2, false); });
        t.Misura("Confr_ModificaField", [&] { Confr_ModificaField(w, TD1, TD2); });
        t.Misura("Confr_Abilitazerolenght", [&] { Confr_Abilitazerolenght(w, TD1, TD2); });
        t.Misura("Confr_VerificaCampiNull1", [&] { Confr_VerificaCampiNull1(w, TD2); });
        t.Misura("Confr_CreaChiavi", [&] { Confr_CreaChiavi(w, TD1, TD2); });
        t.Misura("Confr_ModificaChiavi", [&] { Confr_ModificaChiavi(w, TD1, TD2); });
        t.Misura("Confr_VerificaChiaviInPiuSuSecondoDB",
                 [&] { Confr_VerificaChiaviInPiuSuSecondoDB(w, TD1, TD2); });
        t.Misura("Confr_VerificaFieldInPiuSuSecondoDB",
                 [&] { Confr_VerificaFieldInPiuSuSecondoDB(w, TD1, TD2); });
    }
    const int q = w.Db1.QueryDefs().Count();
    for (int i = 0; i < q; ++i) {
        dao::QueryDef QD1 = w.Db1.QueryDefs()[i];
        t.Misura("Confr_CreaQueryDef", [&] { Confr_CreaQueryDef(w, QD1, w.Db2); });
        t.Misura("Confr_ModificaQueryDef", [&] {
            dao::QueryDef QD2 = w.Db2.QueryDefs()[QD1.Name()];
            Confr_ModificaQueryDef(w, QD1, QD2);
        });
    }
    t.Misura("Confr_VerificaQueryInPiuSuSecondoDB", [&] { Confr_VerificaQueryInPiuSuSecondoDB(w); });
    t.Misura("Confr_VerificaTabelleInPiuSuSecondoDB", [&] { Confr_VerificaTabelleInPiuSuSecondoDB(w); });
    for (int i = 0; i < n; ++i) {
        dao::TableDef TD1 = w.Db1.TableDefs()[i];
        if (TD1.Attributes() != 0) continue;
        bool fissa = false;
        try {
            fissa = TD1.Properties()["description"].Value() == dao::Variant("fissa");
        } catch (const Error&) {
        }
        if (!fissa) continue;
        dao::TableDef TD2 = w.Db2.TableDefs()[TD1.Name()];
        t.Misura("Confr_CopiaDatiTabella", [&] { Confr_CopiaDatiTabella(w, TD1, TD2); });
    }
    t.Misura("CompattaArchivio", [&] {
        w.Db1.Close();
        w.Db2.Close();
        CompattaArchivio(w, w.NomeDb2);
    });
}

// SQLite's own compacted copy of the archive: the baseline.
double VacuumInto(const std::string& hostSource, const std::string& hostTarget) {
    const Clock::time_point t0 = Clock::now();
    SqliteFile db(hostSource, SQLITE_OPEN_READONLY);
    if (!db.ok()) throw Error(3051, "VACUUM INTO: " + hostSource);
    const std::string sql = "VACUUM INTO '" + hostTarget + "'";
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw Error(3051, std::string("VACUUM INTO: ") + sqlite3_errmsg(db.get()));
    }
    return Seconds(t0);
}

// The changes that the comparison makes on an archive of version 027 (the large sample's and the one this
// program makes), made by SQLite alone with the engine's settings, then the compaction: the least that any
// engine storing its tables in SQLite can take for them. Returns a negative time when the archive does not
// have that layout.
double StessiCambiInSqlite(const std::string& hostArchive, const std::string& hostCompacted) {
    static const char* const kPassi[] = {
        "PRAGMA cache_size=-16384",
        "PRAGMA synchronous=FULL",
        "PRAGMA threads=2",
        "BEGIN",
        // Fields added, then each changed field rebuilt: copied into a new field, the old one deleted.
        "ALTER TABLE Movimenti ADD COLUMN CentroCosto TEXT COLLATE NOCASE",
        "ALTER TABLE ARTICOLI ADD COLUMN CfpA TEXT COLLATE NOCASE",
        "ALTER TABLE ARTICOLI ADD COLUMN ContoA TEXT COLLATE NOCASE",
        "ALTER TABLE Movimenti ADD COLUMN poszz INTEGER",
        "UPDATE Movimenti SET poszz = posi",
        "ALTER TABLE Movimenti DROP COLUMN posi",
        "ALTER TABLE Movimenti RENAME COLUMN poszz TO posi",
        "ALTER TABLE ARTICOLI ADD COLUMN causalezz TEXT COLLATE NOCASE",
        "UPDATE ARTICOLI SET causalezz = causale",
        "ALTER TABLE ARTICOLI DROP COLUMN causale",
        "ALTER TABLE ARTICOLI RENAME COLUMN causalezz TO causale",
        "DROP INDEX \"ARTICOLI.RivaProtocollo\"",
        "ALTER TABLE ARTICOLI ADD COLUMN protocollozz INTEGER",
        "UPDATE ARTICOLI SET protocollozz = CAST(protocollo AS INTEGER)",
        "ALTER TABLE ARTICOLI DROP COLUMN protocollo",
        "ALTER TABLE ARTICOLI RENAME COLUMN protocollozz TO protocollo",
        "COMMIT",
        // Nulls replaced; the missing indexes made on their first field, then completed; surplus fields
        // deleted.
        "UPDATE Movimenti SET CentroCosto = '' WHERE CentroCosto IS NULL",
        "UPDATE ARTICOLI SET CfpA = '', ContoA = ''",
        "CREATE INDEX \"Movimenti.ArticoloRiga\" ON Movimenti (Anno)",
        "CREATE INDEX \"ARTICOLI.Dt\" ON ARTICOLI (Dt)",
        "CREATE INDEX \"ARTICOLI.RivaProtocollo\" ON ARTICOLI (Anno)",
        "DROP INDEX \"Movimenti.ArticoloRiga\"",
        "CREATE UNIQUE INDEX \"Movimenti.ArticoloRiga\" ON Movimenti (Anno, NumDoc, posi)",
        "DROP INDEX \"ARTICOLI.RivaProtocollo\"",
        "CREATE INDEX \"ARTICOLI.RivaProtocollo\" ON ARTICOLI (Anno, Riva, Protocollo)",
        "DROP INDEX \"Movimenti.Conto\"",
        "CREATE INDEX \"Movimenti.Conto\" ON Movimenti (CFP, conto)",
        "ALTER TABLE Movimenti DROP COLUMN ImportoLire",
        "ALTER TABLE ARTICOLI DROP COLUMN TotaleLire",
    };
    SqliteFile db(hostArchive, SQLITE_OPEN_READWRITE);
    if (!db.ok()) return -1;
    const Clock::time_point t0 = Clock::now();
    for (const char* passo : kPassi) {
        if (sqlite3_exec(db.get(), passo, nullptr, nullptr, nullptr) != SQLITE_OK) {
            std::cerr << "same changes in SQLite: " << passo << ": " << sqlite3_errmsg(db.get()) << "\n";
            return -1;
        }
    }
    const std::string vacuum = "VACUUM INTO '" + hostCompacted + "'";
    if (sqlite3_exec(db.get(), vacuum.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return -1;
    return Seconds(t0);
}

namespace {

std::vector<std::vector<std::string>> Righe(sqlite3* db, const std::string& sql) {
    std::vector<std::vector<std::string>> out;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        throw Error(3000, sql + ": " + sqlite3_errmsg(db));
    }
    while (sqlite3_step(s) == SQLITE_ROW) {
        std::vector<std::string> riga;
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
            const unsigned char* t = sqlite3_column_text(s, i);
            riga.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
        }
        out.push_back(std::move(riga));
    }
    sqlite3_finalize(s);
    return out;
}

std::string Letterale(const std::string& t) {
    std::string out = "'";
    for (char c : t)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string Nome(const std::string& n) {
    std::string out = "\"";
    for (char c : n)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The value that the Null pass writes for a DAO type, as SQL; "" for a type it leaves Null.
std::string Neutro(int tipo) {
    const dao::Variant v = ValoreNeutro(tipo);
    if (v.kind() == dao::Variant::Kind::Empty) return "";
    if (v.kind() == dao::Variant::Kind::String) return "''";
    return std::to_string(v.RawInteger());
}

} // namespace

// How one table of Ponteval's end state comes from the archive: the columns and the values (with the
// conversions and the Null replacements) of an INSERT ... SELECT that writes it anew, its indexes, and
// whether it must be written anew at all (its fields changed or it holds a Null that the comparison fills).
struct Piano {
    std::string nome, sql, colonne = "rowid", valori = "rowid";
    std::vector<std::vector<std::string>> indici; // name, sql
    bool nuova = false;                           // a table the comparison created
    bool cambia = false;
};

std::vector<Piano> Piani(sqlite3* archivio, sqlite3* fine) {
    std::vector<Piano> out;
    const auto tabelle = Righe(fine, "SELECT name, sql FROM sqlite_schema WHERE type='table' AND name "
                                     "NOT LIKE 'MSys%' AND name NOT LIKE 'sqlite%'");
    for (const auto& t : tabelle) {
        Piano p;
        p.nome = t[0];
        p.sql = t[1];
        const std::string& T = p.nome;
        const auto dopo = Righe(fine, "SELECT name, type FROM pragma_table_info(" + Letterale(T) + ")");
        const auto prima = Righe(archivio, "SELECT name, type FROM pragma_table_info(" + Letterale(T) + ")");
        p.indici = Righe(fine, "SELECT name, sql FROM sqlite_schema WHERE type='index' AND sql IS NOT NULL "
                               "AND tbl_name=" +
                                   Letterale(T));
        p.nuova = prima.empty();
        if (p.nuova) {
            out.push_back(std::move(p));
            continue;
        }
        std::map<std::string, int> tipi;
        for (const auto& f : Righe(fine, "SELECT upper(Name), Type FROM MSysFields WHERE TableName=" +
                                             Letterale(T) + " AND Ordinal >= 0"))
            tipi[f[0]] = std::atoi(f[1].c_str());
        std::map<std::string, std::string> vecchi; // upper-case name -> declared type
        for (const auto& f : prima)
            vecchi[UCase(f[0])] = UCase(f[1]);
        p.cambia = prima.size() != dopo.size();
        std::string nulli;
        for (const auto& f : dopo) {
            const std::string N = UCase(f[0]);
            const std::string neutro = Neutro(tipi[N]);
            p.colonne += ", " + Nome(f[0]);
            const auto v = vecchi.find(N);
            if (v == vecchi.end()) {
                p.cambia = true;
                p.valori += ", " + (neutro.empty() ? std::string("NULL") : neutro);
                continue;
            }
            std::string e = Nome(f[0]);
            if (v->second != UCase(f[1])) {
                p.cambia = true;
                e = "CAST(" + e + " AS " + f[1] + ")";
            }
            if (!neutro.empty()) {
                e = "ifnull(" + e + ", " + neutro + ")";
                nulli += (nulli.empty() ? "" : " OR ") + Nome(f[0]) + " IS NULL";
            }
            p.valori += ", " + e;
        }
        if (!p.cambia && !nulli.empty())
            p.cambia = !Righe(archivio, "SELECT 1 FROM " + Nome(T) + " WHERE " + nulli + " LIMIT 1").empty();
        out.push_back(std::move(p));
    }
    return out;
}

double Esegui(sqlite3* db, const std::vector<std::string>& passi, const char* riga) {
    const Clock::time_point t0 = Clock::now();
    for (const std::string& passo : passi) {
        if (sqlite3_exec(db, passo.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            std::cerr << riga << ": " << passo << ": " << sqlite3_errmsg(db) << "\n";
            return -1;
        }
    }
    return Seconds(t0);
}

// The end state that Ponteval left in `hostFinal` (its compacted archive), written by SQLite from the
// archive `hostArchive` in one pass per changed table: each table whose fields changed or that holds a
// Null is created anew, filled by one INSERT ... SELECT with the conversions and the Null replacements,
// and given its indexes; the indexes of the other tables that changed are made again; then VACUUM INTO
// `hostCompacted`. The archive is changed. Returns the seconds, or a negative time on failure.
double UnPassaggioPerTabella(const std::string& hostArchive, const std::string& hostFinal,
                             const std::string& hostCompacted) {
    const SqliteFile fine(hostFinal, SQLITE_OPEN_READONLY);
    const SqliteFile db(hostArchive, SQLITE_OPEN_READWRITE);
    if (!db.ok()) return -1;
    std::vector<std::string> passi = {"PRAGMA cache_size=-16384", "PRAGMA synchronous=FULL",
                                      "PRAGMA threads=2", "BEGIN"};
    try {
        for (const Piano& p : Piani(db.get(), fine.get())) {
            if (p.nuova) continue; // a table the comparison created: nothing to rewrite
            if (p.cambia) {
                const std::string nuova = Nome(p.nome + "~nuova");
                passi.push_back("CREATE TABLE " + nuova + " " + p.sql.substr(p.sql.find('(')));
                passi.push_back("INSERT INTO " + nuova + " (" + p.colonne + ") SELECT " + p.valori +
                                " FROM " + Nome(p.nome));
                passi.push_back("DROP TABLE " + Nome(p.nome));
                passi.push_back("ALTER TABLE " + nuova + " RENAME TO " + Nome(p.nome));
                for (const auto& ix : p.indici)
                    passi.push_back(ix[1]);
                continue;
            }
            for (const auto& ix : p.indici) {
                const auto era =
                    Righe(db.get(), "SELECT sql FROM sqlite_schema WHERE name=" + Letterale(ix[0]));
                if (!era.empty() && era[0][0] == ix[1]) continue;
                passi.push_back("DROP INDEX IF EXISTS " + Nome(ix[0]));
                passi.push_back(ix[1]);
            }
        }
    } catch (const Error& e) {
        std::cerr << "one pass floor: " << e.what() << "\n";
        return -1;
    }
    passi.push_back("COMMIT");
    passi.push_back("VACUUM INTO " + Letterale(hostCompacted));
    return Esegui(db.get(), passi, "one pass floor");
}

// Ponteval's end state `hostFinal` written by SQLite into the new file `hostOut` in one pass, as a
// compaction that applies the changes would write it at best: the tables that the changes rewrite
// (`hostArchive` tells which) written row by row, their indexes built after; every other table copied as
// stored with its indexes (SQLite's transfer, as VACUUM INTO copies). The values are already the end
// state's, so no conversion is counted: a floor. Returns the seconds, or a negative time on failure.
double UnaRiscrittura(const std::string& hostArchive, const std::string& hostFinal,
                      const std::string& hostOut) {
    const SqliteFile fine(hostFinal, SQLITE_OPEN_READONLY);
    const SqliteFile archivio(hostArchive, SQLITE_OPEN_READONLY);
    const SqliteFile out(hostOut, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!out.ok()) return -1;
    // The end state's decimal columns name the engine's collation: any order serves a copy.
    sqlite3_create_collation(out.get(), "jet_decimal", SQLITE_UTF8, nullptr,
                             [](void*, int n1, const void* a, int n2, const void* b) {
                                 const int c = std::memcmp(a, b, static_cast<std::size_t>(std::min(n1, n2)));
                                 return c != 0 ? c : n1 - n2;
                             });
    std::vector<std::string> passi = {"ATTACH " + Letterale(hostFinal) + " AS src",
                                      "PRAGMA main.journal_mode=OFF", "PRAGMA main.synchronous=FULL",
                                      "PRAGMA cache_size=-16384", "BEGIN"};
    try {
        std::map<std::string, bool> riscritte;
        for (const Piano& p : Piani(archivio.get(), fine.get()))
            riscritte[p.nome] = p.cambia;
        const auto schema = Righe(fine.get(), "SELECT type, name, tbl_name, sql FROM sqlite_schema WHERE sql "
                                              "IS NOT NULL AND name NOT LIKE 'sqlite%' ORDER BY rowid");
        for (const auto& t : schema) {
            if (t[0] != "table") continue;
            passi.push_back(t[3]);
            std::vector<std::string> indici;
            for (const auto& ix : schema)
                if (ix[0] == "index" && ix[2] == t[1]) indici.push_back(ix[3]);
            if (riscritte[t[1]]) {
                // WHERE 1 keeps SQLite from copying the records as stored.
                passi.push_back("INSERT INTO main." + Nome(t[1]) + " SELECT * FROM src." + Nome(t[1]) +
                                " WHERE 1");
                passi.insert(passi.end(), indici.begin(), indici.end());
            } else {
                passi.insert(passi.end(), indici.begin(), indici.end());
                passi.push_back("INSERT INTO main." + Nome(t[1]) + " SELECT * FROM src." + Nome(t[1]));
            }
        }
    } catch (const Error& e) {
        std::cerr << "one rewrite floor: " << e.what() << "\n";
        return -1;
    }
    passi.push_back("COMMIT");
    return Esegui(out.get(), passi, "one rewrite floor");
}

// Starts a new memory peak from the present use.
void AzzeraPicco() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void Riga(const std::string& nome, double ours, double baseline) {
    Line(nome.c_str(), ours, baseline);
}

void Rimuovi(const std::string& windowsPath) {
    if (platform::FileExists(windowsPath)) platform::Kill(windowsPath);
}

// Removes every file of the folder, whatever is left of an earlier run.
void Svuota(const std::string& windowsPath) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(platform::HostPath(windowsPath), ec))
        std::filesystem::remove(e.path(), ec);
}

void Cartella(const std::string& windowsPath) {
    if (!platform::FolderExists(windowsPath)) platform::MkDir(windowsPath);
}

int Main(int argc, char** argv) {
    std::int64_t righe = 100000;
    std::string work = LEDRANA_BENCH_WORK;
    std::string model, archive;
    bool soloPassi = false, sparsi = false;
    int ripetizioni = 3;
    constexpr const char* kHelp =
        "usage: bench-compare [--rows N] [--nulls rows|scattered] [--work DIR] [--model FILE] [--archive "
        "FILE] [--repeat N]\n"
        "  --rows N          movements of the archive made here (default 100000)\n"
        "  --nulls rows      the Null fields of the archive made here fall in the same rows (default)\n"
        "  --nulls scattered each Null field in rows of its own\n"
        "  --work DIR        scratch folder (default bench-work/compare in the build folder)\n"
        "  --model FILE      the model CONT32.MDB (default: made in DIR from model/db)\n"
        "  --archive FILE    the archive to compare, only read (default: one made in DIR)\n"
        "  --steps-only 1    the steps only, without Ponteval and the SQLite lines after it\n"
        "  --repeat N        Ponteval and one_rewrite_floor run N times each (default 3); their ratio\n"
        "                    lines set the best time of each side beside the other's\n"
        "  -h, --help        prints this text\n";
    for (int i = 1; i < argc; ++i) {
        const std::string h = argv[i];
        if (h == "-h" || h == "--help") {
            std::cout << kHelp;
            return 0;
        }
        if (h == "--version") {
            PrintVersion(argv[0]);
            return 0;
        }
    }
    if (argc % 2 == 0) {
        std::cerr << kHelp;
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rows")
            righe = std::atoll(argv[i + 1]);
        else if (a == "--work")
            work = argv[i + 1];
        else if (a == "--model")
            model = argv[i + 1];
        else if (a == "--archive")
            archive = argv[i + 1];
        else if (a == "--repeat" && std::atoi(argv[i + 1]) > 0)
            ripetizioni = std::atoi(argv[i + 1]);
        else if (a == "--steps-only")
            soloPassi = std::string(argv[i + 1]) == "1";
        else if (a == "--nulls" &&
                 (std::string(argv[i + 1]) == "rows" || std::string(argv[i + 1]) == "scattered"))
            sparsi = std::string(argv[i + 1]) == "scattered";
        else {
            std::cerr << kHelp;
            return 2;
        }
    }
    const std::string W = platform::WindowsPath(work);
    Cartella(W);
    platform::SetPrefix(platform::HostPath(W + "\\prefix"));
    for (const char* sub : {"\\modello", "\\archivio", "\\passi", "\\ponteval"})
        Cartella(W + sub);
    // The runs' recovery archives and compaction leftovers of earlier runs go.
    for (const char* sub : {"passi", "ponteval"})
        Svuota(W + "\\" + sub);

    dao::DBEngine engine;
    const std::string src = LEDRANA_SOURCE_DIR;
    const std::string M = model.empty() ? W + "\\modello\\CONT32.MDB" : platform::WindowsPath(model);
    const std::string A = archive.empty() ? W + "\\archivio\\Cont32.mdb" : platform::WindowsPath(archive);
    const Clock::time_point t0 = Clock::now();
    if (model.empty()) {
        Rimuovi(M);
        manifest::BuildFromManifest(engine, src + "/model/db/CONT32.manifest", M, true).Close();
    }
    if (archive.empty()) {
        Rimuovi(A);
        // The old archive as the sample installations make it.
        manifest::BuildFromManifest(
            engine, src + "/tools/mkinstall/schema/CONT32-027.manifest", A, false,
            [](dao::Database& db) { manifest::AllowZeroLength(db, manifest::kStrictFields027); })
            .Close();
        std::cerr << FillArchive(engine, A, M, righe, sparsi) << " rows written\n";
    }
    std::cerr << "pair ready in " << Seconds(t0) << " s\n";
    // The memory peak of the comparison alone, without that of making the pair.
    AzzeraPicco();
    double picco = 0;
    std::cerr << "archive: " << platform::FileLen(A) / (1024 * 1024) << " MB\n";

    const std::string V = W + "\\vacuum.mdb";
    Rimuovi(V);
    const double baseline = VacuumInto(platform::HostPath(A), platform::HostPath(V));
    Rimuovi(V);

    ScriptedDialogs dialogs;
    Tempi tempi;
    // The window compares the model with a copy of the archive in a folder of its own.
    const auto preparePair = [&](Aggiorna& w, const std::string& folder) {
        w.engine = &engine;
        w.File1.entries = {"Ditta2000.ini"};
        w.File1.listIndex = 0;
        w.NomeDb1 = M;
        w.NomeDb2 = W + "\\" + folder + "\\Cont32.mdb";
        platform::FileCopy(A, w.NomeDb2);
    };
    {
        Aggiorna w(dialogs, "C:\\Programmi\\Tessaro");
        preparePair(w, "passi");
        const Clock::time_point t0 = Clock::now();
        w.RunEvent([&] { PassiMisurati(w, tempi); });
        tempi.Aggiungi("steps_total", Seconds(t0));
        if (w.ErroreConfronto) std::cerr << "steps: the failure flag is set\n";
    }
    const double archivioMb = static_cast<double>(platform::FileLen(A)) / (1024.0 * 1024.0);
    const auto Scritti = [&](const std::string& nome, double mb, double piccoMb) {
        std::printf("%s written_mb=%.1f written_x_archive=%.2f peak_rss_mb=%.1f\n", nome.c_str(), mb,
                    mb / archivioMb, piccoMb);
    };
    double scrittiPassi = 0;
    for (const auto& [nome, s] : tempi.voci()) {
        Riga(nome, s, baseline);
        picco = std::max(picco, tempi.Picco(nome));
        scrittiPassi += tempi.Scritti(nome);
        if (nome != "steps_total") Scritti(nome, tempi.Scritti(nome), tempi.Picco(nome));
    }
    Scritti("steps_total", scrittiPassi, picco);
    std::fflush(stdout);
    if (soloPassi) {
        std::printf("peak_rss_mb=%.1f\n", picco);
        return 0;
    }
    AzzeraPicco();
    // The machine may be busier now than at the start: each line from here on has the VACUUM INTO made
    // just before it as its baseline.
    const auto vacuumOra = [&] {
        Rimuovi(V);
        const double s = VacuumInto(platform::HostPath(A), platform::HostPath(V));
        Rimuovi(V);
        return s;
    };

    // Ponteval and the floor after it, `ripetizioni` times each on a fresh copy: the lines give the best
    // time of each, which the load that other processes put on a shared machine changes the least.
    double pontevalS = 0, pontevalCpu = 0, pianoS = 0, pianoCpu = 0;
    for (int r = 0; r < ripetizioni; ++r) {
        Svuota(W + "\\ponteval");
        const double primaVacuum = ScrittiMb();
        const double base = vacuumOra();
        const double vacuumMb = ScrittiMb() - primaVacuum;
        Aggiorna w(dialogs, "C:\\Programmi\\Tessaro");
        preparePair(w, "ponteval");
        bool ok = false;
        AzzeraPicco();
        const double prima = ScrittiMb();
        const Clock::time_point t0 = Clock::now();
        const double cpu0 = ThreadCpuSeconds();
        w.RunEvent([&] { ok = Ponteval(w); });
        const double s = Seconds(t0), mb = ScrittiMb() - prima, cpu = ThreadCpuSeconds() - cpu0;
        if (r == 0 || s < pontevalS) pontevalS = s;
        if (r == 0 || cpu < pontevalCpu) pontevalCpu = cpu;
        if (!ok) std::cerr << "Ponteval returned False\n" << w.Text1.text << "\n";
        if (r == 0) {
            std::printf("Ponteval written_mb=%.1f written_x_archive=%.2f peak_rss_mb=%.1f "
                        "vacuum_into_written_mb=%.1f written_x_vacuum_into=%.2f time_x_vacuum_into=%.2f\n",
                        mb, mb / archivioMb, PeakRssMb(), vacuumMb, vacuumMb > 0 ? mb / vacuumMb : 0.0,
                        base > 0 ? s / base : 0.0);
            Riga("Ponteval", s, base);
        }
        const std::string R = W + "\\sqlite\\riscritto.mdb";
        Cartella(W + "\\sqlite");
        Rimuovi(R);
        const double cpu1 = ThreadCpuSeconds();
        const double f = UnaRiscrittura(
            platform::HostPath(A), platform::HostPath(W + "\\ponteval\\Cont32.mdb"), platform::HostPath(R));
        const double fCpu = ThreadCpuSeconds() - cpu1;
        Rimuovi(R);
        if (f < 0) {
            pianoS = -1;
            break;
        }
        if (r == 0 || f < pianoS) pianoS = f;
        if (r == 0 || fCpu < pianoCpu) pianoCpu = fCpu;
        if (r == 0) Riga("one_rewrite_floor", f, base);
    }
    if (pianoS >= 0) {
        Riga("Ponteval_vs_one_rewrite_floor", pontevalS, pianoS);
        Riga("Ponteval_cpu_vs_one_rewrite_floor", pontevalCpu, pianoCpu);
    }
    {
        const double base = vacuumOra();
        const std::string C = W + "\\sqlite\\uno.mdb", V2 = W + "\\sqlite\\uno-compattato.mdb";
        Cartella(W + "\\sqlite");
        Rimuovi(V2);
        platform::FileCopy(A, C);
        const double s = UnPassaggioPerTabella(
            platform::HostPath(C), platform::HostPath(W + "\\ponteval\\Cont32.mdb"), platform::HostPath(V2));
        if (s >= 0) Riga("one_pass_floor", s, base);
        Rimuovi(C);
        Rimuovi(V2);
    }
    {
        const double base = vacuumOra();
        const std::string C = W + "\\sqlite\\Cont32.mdb", V2 = W + "\\sqlite\\compattato.mdb";
        Cartella(W + "\\sqlite");
        Rimuovi(V2);
        platform::FileCopy(A, C);
        const double s = StessiCambiInSqlite(platform::HostPath(C), platform::HostPath(V2));
        if (s >= 0) Riga("same_changes_sqlite_alone", s, base);
        Rimuovi(C);
        Rimuovi(V2);
    }
    std::cerr << "message boxes: " << dialogs.messageBoxes().size() << ", step errors: " << tempi.errori()
              << "\n";
    std::map<std::string, int> testi;
    for (const auto& box : dialogs.messageBoxes())
        ++testi[box.text];
    for (const auto& [testo, volte] : testi)
        std::cerr << "  " << volte << "x " << testo << "\n";
    std::printf("peak_rss_mb=%.1f\n", std::max(picco, PeakRssMb()));
    return 0;
}

} // namespace
} // namespace ledrana::bench

int main(int argc, char** argv) {
    ledrana::platform::ReturnLargeBlocksToSystem();
    try {
        return ledrana::bench::Main(argc, argv);
    } catch (const ledrana::Error& e) {
        std::cerr << "bench-compare: " << e.what() << "\n";
        return 1;
    }
}
