#include "schema/recovery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <vector>

#include "dao/vb/functions.h"
#include "platform/files.h"
#include "platform/newfile.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "schema/helpers.h"
#include "schema/transazione.h"
#include "schema/working_copy.h"

namespace ledrana::schema_detail {

namespace {

const char* const kQueryTable = "Query_rimosse";

// "...\Cont32_rimossi_20261207-021901.mdb" beside "...\Cont32.mdb"; "_2", "_3"... before ".mdb" for the
// n-th try when the name is taken.
std::string RecoveryName(const std::string& archive, int attempt) {
    return schema_detail::TimestampedSibling(archive, "_rimossi_",
                                             (attempt > 1 ? "_" + std::to_string(attempt) : "") + ".mdb");
}

// The password that opened the archive ("" when none).
std::string ArchivePassword(const Aggiorna& w) {
    for (int i = 1; i <= w.NumDb; ++i)
        if (w.NomiDb[i] == UCase(w.NomeDb2)) return w.PwdDb[i];
    return {};
}

[[noreturn]] void FailHost(int err, const std::string& windowsPath) {
    throw Error(err == ENOSPC ? 61 : 75,
                "Impossibile scrivere il file " + windowsPath + " (" + std::string(std::strerror(err)) + ")");
}

// Creates hostPath with O_CREAT|O_EXCL|O_NOFOLLOW and writes `bytes` into it, synced when `sync`, with the
// owner and mode of the archive (narrowed to its owner when the archive's owner cannot be given). -1 with
// errno EEXIST when the name is taken; other errors are thrown.
int WriteNewFile(const std::string& hostPath, const std::string& shown, const std::string& bytes,
                 const struct stat& archive, bool sync) {
    const int fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return -1;
        FailHost(errno, shown);
    }
    const auto fail = [&](int err) {
        ::close(fd);
        ::unlink(hostPath.c_str());
        FailHost(err, shown);
    };
    mode_t mode = archive.st_mode & 0777;
    if ((archive.st_uid != ::geteuid() || archive.st_gid != ::getegid()) &&
        ::fchown(fd, archive.st_uid, archive.st_gid) != 0)
        mode &= 0700;
    if (::fchmod(fd, mode) != 0) fail(errno);
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (sync && ::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(hostPath.c_str());
        FailHost(err, shown);
    }
    return 0;
}

void SyncFolder(const std::string& hostPath) {
    const std::string folder = std::filesystem::path(hostPath).parent_path().string();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// An empty archive of ours with `connect`'s password, as bytes: made in a private folder of the run.
std::string EmptyArchive(Aggiorna& w, const std::string& connect) {
    const std::string folder = platform::MakeTempFolder();
    struct Remove {
        std::string folder;
        ~Remove() {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    } remove{folder};
    const std::string path = platform::WindowsPath(folder + "/rimossi.mdb");
    // Read back at once and thrown away: nothing of it needs to reach the disk.
    dao::DBEngine& engine = Engine(w);
    engine.SetScratch(path, true);
    struct Unmark {
        dao::DBEngine& engine;
        const std::string& path;
        ~Unmark() {
            try {
                engine.SetScratch(path, false);
            } catch (const Error&) {
            }
        }
    } unmark{engine, path};
    engine.CreateDatabase(path, connect).Close();
    return platform::ReadAllBytes(path);
}

// The recovery archive, open: on first use an empty archive with the archive's password is written beside
// the archive as a new file (with its owner and mode) and opened. Every copy is then one transaction in it,
// whose rollback journal keeps the file whole when the process is stopped half way: the file is written
// once, a copy at a time. On a working copy nothing is synced until SyncRecovery, once for all the copies;
// on the archive itself the new file is synced, and each copy by the engine as it is committed.
dao::Database& Recovery(Aggiorna& w) {
    if (w.RimossiDb.IsOpen()) return w.RimossiDb;
    const std::string password = ArchivePassword(w);
    const std::string connect = password.empty() ? "" : ";pwd=" + password;
    const bool later = OnWorkingCopy(w, w.NomeDb2);
    if (w.ArchivioRimossi.empty()) {
        const std::string bytes = EmptyArchive(w, connect);
        struct stat archive {};
        if (::stat(platform::HostPath(w.NomeDb2).c_str(), &archive) != 0) FailHost(errno, w.NomeDb2);
        for (int attempt = 1;; ++attempt) {
            const std::string name = RecoveryName(w.NomeDb2, attempt);
            if (WriteNewFile(platform::HostPath(name), name, bytes, archive, !later) == 0) {
                w.ArchivioRimossi = name;
                w.runReport.Recovery(w.NomeDb2, name);
                break;
            }
            if (attempt == 99) FailHost(EEXIST, name);
        }
        if (!later) SyncFolder(platform::HostPath(w.ArchivioRimossi));
    }
    Engine(w).SetDeferredSync(w.ArchivioRimossi, later);
    w.RimossiDb = Engine(w).OpenDatabase(w.ArchivioRimossi, false, false, connect);
    return w.RimossiDb;
}

bool HasTable(dao::Database& db, const std::string& name) {
    try {
        db.TableDefs()[name];
        return true;
    } catch (const Error&) {
        return false;
    }
}

// A name the engine takes for an object of the recovery archive, made from `name`: what Jet refuses in a
// name (a period, an exclamation point, a grave accent, a bracket, a control character) becomes "_", leading
// blanks go, and it is cut to 64 characters less `room` (kept for a suffix). An archive made by another
// program may have any name.
std::string UsableName(const std::string& name, std::size_t room = 0) {
    std::string out;
    for (const char c : name) {
        const bool refused =
            c == '.' || c == '!' || c == '`' || c == '[' || c == ']' || static_cast<unsigned char>(c) < 32;
        out += refused ? '_' : c;
    }
    const std::size_t start = out.find_first_not_of(' ');
    out = LeftChars(start == std::string::npos ? "" : std::string_view(out).substr(start), 64 - room);
    return out.empty() ? "_" : out;
}

// `name` made usable, or with "_2", "_3"... after it while `taken` says that name is taken.
template <class Taken> std::string FreeName(const std::string& name, Taken&& taken) {
    std::string free = UsableName(name);
    for (int n = 2; taken(free); ++n) {
        const std::string suffix = "_" + std::to_string(n);
        free = UsableName(name, suffix.size()) + suffix;
    }
    return free;
}

// A name for a table of the recovery archive that it has no table of.
std::string FreeTableName(dao::Database& db, const std::string& name) {
    return FreeName(name, [&](const std::string& n) { return HasTable(db, n); });
}

// A name for one more field of a copy whose fields so far are `taken`; it joins them.
std::string FreeFieldName(std::vector<std::string>& taken, const std::string& name) {
    std::string free = FreeName(name, [&](const std::string& n) {
        return std::any_of(taken.begin(), taken.end(), [&](const std::string& t) { return SameName(t, n); });
    });
    taken.push_back(free);
    return free;
}

// The names that the recovery archive does not take as they are, each with the one it has there.
std::string Renamed(const std::vector<std::string>& names, const std::vector<std::string>& kept) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] != kept[i]) out += (out.empty() ? "" : ", ") + names[i] + " → " + kept[i];
    return out;
}

// True when some row of T2 has a value in `field`: that field of the rows is read through the table itself,
// so that no name stands in any SQL text.
bool HoldsValues(dao::TableDef T2, const std::string& field) {
    dao::Recordset rs = T2.OpenRecordset({field}, dao::dbOpenForwardOnly);
    const dao::Field f = rs.Fields()[field];
    bool found = false;
    for (; !found && !rs.Eof(); rs.MoveNext())
        found = !f.Value().IsNull();
    rs.Close();
    return found;
}

// A field of the recovery archive defined as `f` is: a counter becomes a plain number that keeps its
// values, a text takes the empty text, a decimal keeps its precision and scale, nothing is required.
dao::Field CopyOfField(dao::TableDef& td, const dao::Field& f, const std::string& name) {
    dao::Field copy = td.CreateField(name, f.Type(), f.Size());
    copy.SetAttributes(f.Attributes() & ~dao::dbAutoIncrField);
    if (f.Type() == dao::dbText || f.Type() == dao::dbMemo) copy.SetAllowZeroLength(true);
    if (f.Type() == dao::dbDecimal) { // every digit kept
        copy.SetPrecision(f.Precision());
        copy.SetScale(f.Scale());
    }
    return copy;
}

// The fields that name a row of T2 without `field`'s help: its primary key, else its first unique index
// (an index that holds `field` still names the row: its other fields go with the value); none for a table
// without either.
std::vector<std::string> RowKey(const dao::TableDef& T2) {
    const dao::Indexes indexes = T2.Indexes();
    for (const bool primary : {true, false}) {
        for (int i = 0; i < indexes.Count(); ++i) {
            const dao::Index ix = indexes[i];
            if (primary ? ix.Primary() : ix.Unique()) return schema_detail::IndexFieldNames(ix);
        }
    }
    return {};
}

// Runs one copy into the recovery archive as one transaction; any error becomes the refusal of the
// deletion. The engine makes the file's journal at a fixed name beside it: no link may stand there, and the
// journal is private to its owner while it lives.
template <class Copy> void Keep(Aggiorna& w, const std::string& notDeleted, Copy&& copy) {
    try {
        dao::Database& db = Recovery(w);
        // The copy reads the archive's rows straight from its file where it can (the archive's writes
        // committed first), otherwise one by one.
        if (w.Db2.IsOpen()) db.AttachForCopies(w.Db2);
        platform::RemoveLink(w.ArchivioRimossi + "-journal");
        platform::PrivateNewFiles privati;
        Transazione t(db);
        copy(db);
        t.Commit();
    } catch (const Error& e) {
        throw Error(e.number(), notDeleted + ": la copia nell'archivio di recupero non si è potuta fare (" +
                                    e.description() + ")");
    } catch (const std::exception& e) { // the host's own, from the working folder
        throw Error(75, notDeleted + ": la copia nell'archivio di recupero non si è potuta fare (" +
                            e.what() + ")");
    }
}

std::string Count(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string KeepTable(Aggiorna& w, dao::TableDef T2) {
    if (!T2.Connect().empty()) return {}; // an attachment: deleting it leaves its rows where they are
    dao::Recordset probe = T2.OpenRecordset();
    const bool empty = probe.Eof();
    probe.Close();
    if (empty) return {};

    const std::string name = T2.Name();
    std::string kept;
    std::vector<std::string> fieldNames, keptNames; // the table's fields, and their names in the copy
    std::int64_t rows = 0;
    Keep(w, "La tabella " + name + " non è stata eliminata", [&](dao::Database& db) {
        kept = FreeTableName(db, name);
        dao::TableDef copy = db.CreateTableDef(kept);
        const dao::Fields fields = T2.Fields();
        fieldNames.clear();
        keptNames.clear();
        for (int i = 0; i < fields.Count(); ++i) {
            fieldNames.push_back(fields[i].Name());
            const std::string n = FreeFieldName(keptNames, fieldNames.back());
            copy.Fields().Append(CopyOfField(copy, fields[i], n));
        }
        db.TableDefs().Append(copy);
        dao::TableDef appended = db.TableDefs()[kept];
        rows = dao::AppendRows(T2, appended, dao::RowCopy{fieldNames, "", "", keptNames});
        const auto keptName = [&](const std::string& field) {
            for (std::size_t k = 0; k < fieldNames.size(); ++k)
                if (SameName(fieldNames[k], field)) return keptNames[k];
            return field;
        };
        const dao::Indexes indexes = T2.Indexes();
        std::vector<std::string> indexNames;
        for (int i = 0; i < indexes.Count(); ++i) {
            const dao::Index ix = indexes[i];
            dao::Index index = appended.CreateIndex(FreeFieldName(indexNames, ix.Name()));
            for (const std::string& n : schema_detail::IndexFieldNames(ix))
                index.Fields().Append(index.CreateField(keptName(n)));
            index.SetPrimary(ix.Primary());
            index.SetUnique(ix.Unique());
            index.SetIgnoreNulls(ix.IgnoreNulls());
            appended.Indexes().Append(index);
        }
    });
    const std::string renamed = Renamed(fieldNames, keptNames);
    return "La tabella " + name + " non è nel modello ed è stata eliminata dall'archivio; le sue " +
           Count(rows, "riga", "righe") + ", con i campi e gli indici, sono nella tabella " + kept +
           (renamed.empty() ? "" : " (con i nomi dei campi cambiati: " + renamed + ")") +
           " dell'archivio di recupero " + w.ArchivioRimossi + ".";
}

std::string KeepField(Aggiorna& w, dao::TableDef T2, const std::string& field) {
    const std::string table = T2.Name();
    const std::string name = T2.Fields()[field].Name();
    // Nothing to keep when every value is Null.
    if (!HoldsValues(T2, name)) return {};

    const std::vector<std::string> key = RowKey(T2);
    std::vector<std::string> columns = key;
    bool inKey = false;
    for (const std::string& k : key)
        inKey = inKey || SameName(k, name);
    if (!inKey) columns.push_back(name);
    std::string kept, keptField;
    std::int64_t kept_values = 0;
    Keep(w, "Il campo " + field + " della tabella " + table + " non è stato eliminato",
         [&](dao::Database& db) {
             kept = FreeTableName(db, table + "_" + name);
             dao::TableDef copy = db.CreateTableDef(kept);
             std::vector<std::string> taken, into;
             if (key.empty()) {
                 taken.push_back("Riga");
                 copy.Fields().Append(copy.CreateField("Riga", dao::dbLong));
             }
             for (const std::string& c : columns) {
                 into.push_back(FreeFieldName(taken, c));
                 if (SameName(c, name)) keptField = into.back();
                 copy.Fields().Append(CopyOfField(copy, T2.Fields()[c], into.back()));
             }
             db.TableDefs().Append(copy);
             kept_values = dao::AppendRows(T2, db.TableDefs()[kept],
                                           dao::RowCopy{columns, name, key.empty() ? "Riga" : "", into});
         });
    std::string named = "con la posizione della sua riga (campo Riga)";
    if (!key.empty()) {
        named = "con la chiave della sua riga (";
        for (std::size_t i = 0; i < key.size(); ++i)
            named += (i ? ", " : "") + key[i];
        named += ")";
    }
    return "Il campo " + name + " della tabella " + table +
           " non è nel modello ed è stato eliminato dall'archivio; i suoi " +
           Count(kept_values, "valore", "valori") + ", ciascuno " + named + ", sono nella tabella " + kept +
           (keptField == name ? "" : " (campo " + keptField + ")") + " dell'archivio di recupero " +
           w.ArchivioRimossi + ".";
}

std::string KeepQuery(Aggiorna& w, dao::QueryDef Q2) {
    const std::string name = Q2.Name();
    const std::string sql = Q2.SQL();
    if (sql.empty()) return {};
    Keep(w, "La query " + name + " non è stata eliminata", [&](dao::Database& db) {
        if (!HasTable(db, kQueryTable)) {
            dao::TableDef td = db.CreateTableDef(kQueryTable);
            td.Fields().Append(td.CreateField("Nome", dao::dbMemo)); // a name of any length
            td.Fields().Append(td.CreateField("SQL", dao::dbMemo));
            db.TableDefs().Append(td);
        }
        dao::Recordset to = db.TableDefs()[kQueryTable].OpenRecordset();
        to.AddNew();
        to.Fields()["Nome"].SetValue(name);
        to.Fields()["SQL"].SetValue(sql);
        to.Update();
        to.Close();
    });
    return "La query " + name +
           " non è nel modello ed è stata eliminata dall'archivio; il suo testo SQL è nella "
           "tabella " +
           std::string(kQueryTable) + " dell'archivio di recupero " + w.ArchivioRimossi + ".";
}

void SyncRecovery(Aggiorna& w) {
    if (!w.ArchivioRimossi.empty()) platform::SyncFile(w.ArchivioRimossi);
}

void CloseRecovery(Aggiorna& w) {
    try {
        if (w.RimossiDb.IsOpen()) w.RimossiDb.Close();
        if (!w.ArchivioRimossi.empty()) Engine(w).SetDeferredSync(w.ArchivioRimossi, false);
    } catch (const Error&) {
    }
    w.RimossiDb = dao::Database();
    w.ArchivioRimossi.clear();
}

} // namespace ledrana::schema_detail
