#include "app/restore.h"

#include <optional>
#include <set>

#include "app/restore_point.h"
#include "dao/dao.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/runlock.h"
#include "platform/shell_folders.h"
#include "window/run_report_html.h"

namespace ledrana {

namespace {

std::string Why(const Error& e) {
    return std::to_string(e.number()) + " " + e.description();
}

class Restorer {
public:
    Restorer(const RestoreOptions& o, std::ostream& out, const std::string& data, const RestorePointEntry& p)
        : o_(o), out_(out), data_(data), point_(p), m_(*p.manifest) {
        report_.dataFolder = data;
        report_.restorePoint = p.folder;
        report_.forced = o.force;
    }

    int Run() {
        out_ << (o_.preview ? "anteprima del ripristino di " : "ripristino di ") << point_.folder << "\n";
        if (!m_.complete())
            Note("Il punto di ripristino non è completo: l'aggiornamento che l'ha aperto non è arrivato alla "
                 "fine, e non si sa se i suoi archivi sono stati usati dopo." +
                 std::string(o_.force ? "" : " Per ripristinarlo comunque: --forza."));
        for (const Manifest::Archive& a : m_.archives)
            Archive(a);
        for (const Manifest::File& f : m_.files)
            File(f);
        Added();
        if (own_) {
            try {
                for (const std::string& failure : own_->Complete())
                    Note(failure);
            } catch (const Error& e) {
                Note("Il punto di ripristino " + own_->folder() + " non si è potuto completare (" + Why(e) +
                     ").");
            }
        }
        const bool done = !partial_;
        report_.ok = done;
        report_.outcome = o_.preview
                              ? (done ? "Anteprima: il ripristino sarebbe completo"
                                      : "Anteprima: il ripristino NON sarebbe completo")
                              : (done ? "Ripristino eseguito" : "Ripristino NON eseguito completamente");
        report_.end = ReportClock::now();
        if (own_)
            out_ << "ciò che il ripristino ha sostituito è nel punto di ripristino " << own_->folder()
                 << "\n";
        out_ << report_.outcome << "\n";
        if (!o_.preview) {
            try {
                out_ << "rapporto: " << platform::HostPath(WriteRestoreReport(report_)) << "\n";
            } catch (const Error& e) {
                out_ << "il rapporto non si è potuto scrivere: " << Why(e) << "\n";
            }
        }
        return done ? kRestoreDone : kRestorePartial;
    }

private:
    void Note(const std::string& text) {
        report_.notes.push_back(text);
        out_ << text << "\n";
    }

    // One archive or file and what became of it; what went well with a file the run added is told once for
    // all of them, in a count.
    void Item(std::vector<RestoreReport::Item>& list, const std::string& path, const std::string& outcome,
              bool ok, bool told = true) {
        list.push_back({path, outcome, ok});
        if (told || !ok) out_ << path << ": " << outcome << "\n";
        if (!ok) partial_ = true;
    }

    // The restore point of what this restore replaces, opened at its first replacement.
    RestorePoint& Own() {
        if (!own_) {
            own_.emplace(data_, report_.start, true);
            report_.ownRestorePoint = own_->folder();
        }
        return *own_;
    }

    std::string ForceHint() const {
        return "; per ripristinarlo comunque (la versione di adesso resta in un punto di ripristino): "
               "aggiorna-batch --ripristina " +
               point_.name + " --forza";
    }

    // The point's file goes back as a copy of it, written whole beside the archive and renamed over it: the
    // archive's name holds a whole archive at every instant, and the point keeps its file as it was, so
    // that what is written in the archive afterwards does not reach the point.
    void PutBack(const std::string& saved, const std::string& path) {
        platform::ReplaceWithNewCopy(saved, path, path + ".ripristino");
    }

    void Archive(const Manifest::Archive& a) {
        const std::string saved = point_.folder + "\\" + a.saved;
        const platform::FileState keptState = platform::StateOf(saved);
        if (!keptState.exists) {
            Item(report_.archives, a.path, "non ripristinato: il punto di ripristino non ne ha più la copia",
                 false);
            return;
        }
        const platform::FileState nowState = platform::StateOf(a.path);
        const ArchiveMark now = MarkOf(a.path);
        if (nowState.exists && nowState.device == keptState.device && nowState.inode == keptState.inode) {
            // The archive is still the point's own file (the run did not replace it, and the point could not
            // take a copy of its own): what was written in one was written in the other.
            if (now != a.found) {
                const std::string since = MarkDifferences(a.found, now);
                Item(report_.archives, a.path,
                     "non ripristinabile: è ancora il file del punto di ripristino, scritto con lui (" +
                         since + "): com'era prima non c'è più",
                     false);
                return;
            }
            if (o_.preview) {
                Item(report_.archives, a.path,
                     "è ancora il file del punto di ripristino, com'era: ne sarebbe fatta una copia a sé",
                     true);
                return;
            }
            try {
                dao::FileReservation hold = engine_.Reserve(a.path);
                PutBack(saved, a.path);
                Item(report_.archives, a.path,
                     "era ancora il file del punto di ripristino, com'era: ora ne è una copia a sé", true);
            } catch (const Error& e) {
                Item(report_.archives, a.path, "non separato dal punto di ripristino: " + Why(e), false);
            }
            return;
        }
        std::string changed;
        if (!a.left)
            changed = "il punto di ripristino non dice come l'aggiornamento l'ha lasciato";
        else if (now != *a.left)
            changed = "è cambiato dopo l'aggiornamento (" + MarkDifferences(*a.left, now) +
                      "): qualcuno ci ha lavorato";
        if (!changed.empty() && !o_.force) {
            Item(report_.archives, a.path, "non ripristinato: " + changed + ForceHint(), false);
            return;
        }
        const std::string forced = changed.empty() ? "" : " con --forza, anche se " + changed;
        if (o_.preview) {
            Item(report_.archives, a.path, "sarebbe ripristinato" + forced, true);
            return;
        }
        try {
            dao::FileReservation hold;
            if (nowState.exists) {
                hold = engine_.Reserve(a.path);
                Own().KeepArchive(a.path);
            }
            PutBack(saved, a.path);
            Item(report_.archives, a.path, "ripristinato" + forced, true);
        } catch (const Error& e) {
            Item(report_.archives, a.path, "non ripristinato: " + Why(e), false);
        }
    }

    void File(const Manifest::File& f) {
        const std::string saved = point_.folder + "\\" + f.saved;
        try {
            const bool exists = platform::FileExists(f.path);
            if (exists && platform::ReadAllBytes(f.path) == platform::ReadAllBytes(saved)) return;
            if (o_.preview) {
                Item(report_.files, f.path, "sarebbe ripristinato", true);
                return;
            }
            if (exists) Own().KeepFile(f.path);
            platform::FileCopy(saved, f.path);
            Item(report_.files, f.path, "ripristinato", true);
        } catch (const Error& e) {
            Item(report_.files, f.path, "non ripristinato: " + Why(e), false);
        }
    }

    // What the run added to the data folder, and in the folders outside it the point lists, goes into the
    // restore's own point; the folders it made go when they are left empty.
    void Added() {
        std::vector<Manifest::Created> added = m_.created;
        if (!m_.complete()) {
            std::set<std::string> found;
            for (const platform::TreeEntry& e : m_.found)
                found.insert(e.path);
            for (const platform::TreeEntry& e : m_.foundOutside)
                found.insert(e.path);
            added.clear();
            for (const platform::TreeEntry& e : DataFolderListing(data_))
                if (!found.count(e.path)) added.push_back({e.path, e.folder, -1, -1, false});
            try {
                for (const platform::TreeEntry& e : OutsideListing(m_.outside))
                    if (!found.count(e.path)) added.push_back({e.path, e.folder, -1, -1, true});
            } catch (const Error& e) {
                const std::string why = Why(e);
                Note("Ciò che l'aggiornamento ha aggiunto fuori dalla cartella dati resta dov'è: "
                     "non si è potuto cercarlo (" +
                     why + ").");
            }
        }
        const auto where = [&](const Manifest::Created& c) {
            return c.outside ? c.path : data_ + "\\" + c.path;
        };
        int moved = 0;
        for (const Manifest::Created& c : added) {
            if (c.folder) continue;
            const std::string path = where(c);
            const platform::FileState st = platform::StateOf(path);
            if (!st.exists || st.folder) continue;
            if ((st.size != c.size || st.modified != c.modified) && !o_.force) {
                Item(report_.files, path,
                     c.size < 0 ? "lasciato: non si sa se è stato aggiunto dall'aggiornamento" + ForceHint()
                                : "lasciato: aggiunto dall'aggiornamento, è cambiato dopo" + ForceHint(),
                     false);
                continue;
            }
            ++moved;
            if (o_.preview) {
                Item(report_.files, path, "aggiunto dall'aggiornamento: sarebbe tolto", true, false);
                continue;
            }
            try {
                Own().MoveIn(path);
                Item(report_.files, path, "aggiunto dall'aggiornamento: tolto", true, false);
            } catch (const Error& e) {
                --moved;
                Item(report_.files, path, "aggiunto dall'aggiornamento, non si è potuto togliere: " + Why(e),
                     false);
            }
        }
        if (moved > 0)
            out_ << moved
                 << (o_.preview ? " file aggiunti dall'aggiornamento sarebbero tolti\n"
                                : " file aggiunti dall'aggiornamento tolti\n");
        if (o_.preview) return;
        for (auto it = added.rbegin(); it != added.rend(); ++it) {
            const std::string path = where(*it);
            try {
                if (it->folder && platform::FolderExists(path) && platform::ListTree(path).empty())
                    platform::RmDir(path);
            } catch (const Error&) {
            }
        }
        if (own_) own_->Flush();
    }

    const RestoreOptions& o_;
    std::ostream& out_;
    std::string data_;
    const RestorePointEntry& point_;
    const Manifest& m_;
    RestoreReport report_;
    std::optional<RestorePoint> own_;
    dao::DBEngine engine_;
    bool partial_ = false;
};

} // namespace

int Restore(const RestoreOptions& o, std::ostream& out) {
    const std::string dirTxt = platform::GetWindowsDirectory() + "\\dir.txt";
    std::string data;
    try {
        data = platform::ReadFirstLine(dirTxt);
    } catch (const Error&) {
    }
    if (data.empty() || !platform::FolderExists(data)) {
        out << "aggiorna-batch: nessuna cartella dati (" << dirTxt << " non ne nomina una): nessun punto di "
            << "ripristino\n";
        return kRestoreNoPoint;
    }
    const std::vector<RestorePointEntry> points = RestorePoints(data);
    const RestorePointEntry* chosen = nullptr;
    for (const RestorePointEntry& p : points) {
        if (o.when.empty() ? p.manifest && !p.manifest->restore : p.name == o.when) chosen = &p;
    }
    if (!chosen || !chosen->manifest) {
        out << "aggiorna-batch: "
            << (chosen ? "il punto di ripristino " + chosen->folder + " non ha un manifesto leggibile"
                : o.when.empty() ? "nessun punto di ripristino di un aggiornamento in " + data
                                 : "nessun punto di ripristino " + o.when + " in " + data)
            << "\n";
        if (!points.empty()) {
            out << "Punti di ripristino:";
            for (const RestorePointEntry& p : points)
                out << " " << p.name;
            out << "\n";
        }
        return kRestoreNoPoint;
    }

    platform::RunLock lock;
    if (!o.preview) {
        try {
            lock = platform::RunLock::Take(data + "\\ledrana\\update.lock", "ripristino");
        } catch (const Error& e) {
            // Without the lock an update could run beside the restore: nothing is put back.
            out << "Impossibile bloccare la cartella dati " << data << " (" << Why(e)
                << "): un aggiornamento non ne sarebbe escluso.\nIl ripristino termina senza modificare "
                   "nulla.\n";
            return kRestoreLocked;
        }
        if (lock.state() == platform::RunLock::State::Held) {
            out << platform::HeldSentence(data, lock.holder())
                << ".\nIl ripristino termina senza modificare nulla: riavviarlo quando l'altro sarà "
                   "terminato.\n";
            return kRestoreLocked;
        }
    }
    return Restorer(o, out, platform::WindowsPath(platform::HostPath(data)), *chosen).Run();
}

} // namespace ledrana
