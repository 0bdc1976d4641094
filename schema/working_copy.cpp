// The comparison's working copy of its archive, and the one replacement of the archive at its end.

#include "schema/working_copy.h"

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/newfile.h"
#include "platform/text.h"
#include "platform/vb_errors.h"
#include "schema/helpers.h"
#include "schema/recovery.h"

namespace ledrana {

using namespace schema_detail;

namespace {

// Room kept free beyond the two copies, for the journals of the comparison's transactions.
constexpr std::int64_t kJournalRoom = 4 << 20;

// Removes a scratch file (and its SQLite journal) at a fixed name: a link standing there is removed itself.
void RemoveScratch(const std::string& file) {
    for (const std::string& name : {file, file + "-journal"}) {
        platform::RemoveLink(name);
        try {
            platform::Kill(name);
        } catch (const Error& e) {
            if (e.number() != kErrFileNotFound) throw;
        }
    }
}

std::string Megabytes(std::int64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20);
}

std::string ArchivePassword(Aggiorna& w, const std::string& archive) {
    const int i = PasswordListSlot(w, archive);
    return i > 0 ? w.PwdDb[i] : std::string();
}

} // namespace

std::string WorkingCopyName(const std::string& archive) {
    return archive + ".lavoro";
}

std::string ReplacementName(const std::string& archive) {
    return archive + ".nuovo";
}

void StartWorkingCopy(Aggiorna& w) {
    const std::string& A = w.NomeDb2;
    RemoveScratch(WorkingCopyName(A));
    RemoveScratch(ReplacementName(A));
    const std::int64_t size = platform::FileLen(A);
    const std::int64_t needed = 2 * size + kJournalRoom;
    const std::int64_t free = platform::FreeSpaceBeside(A);
    if (free < needed)
        throw Error(61,
                    "Disco pieno: per aggiornare " + A + " servono " + Megabytes(needed) +
                        " MB liberi nella sua cartella (per la copia di lavoro e la copia compattata), ce ne "
                        "sono " +
                        Megabytes(free) + ".");
    w.workingCopyOf = A;
    w.workingCopy.clear();
    // Made before the archive is first opened: a copy that cannot be made is the opening's error, and the
    // archive has not been touched.
    try {
        OpeningPath(w, A);
    } catch (const Error&) {
        DropWorkingCopy(w);
        throw;
    }
}

std::string OpeningPath(Aggiorna& w, const std::string& NomeDb) {
    if (w.workingCopyOf.empty() || UCase(NomeDb) != UCase(w.workingCopyOf)) return NomeDb;
    if (w.workingCopy.empty()) {
        const std::string copy = WorkingCopyName(w.workingCopyOf);
        // The copy is scratch: held in memory when the archive is small enough, else a file whose commits
        // nothing syncs, which a crash may leave damaged. The archive cannot suffer from that, as it is never
        // written in place: the copy is only read into a new compacted file, synced before it is renamed
        // over the archive's name, and a copy left by a crash is removed before the next comparison makes
        // its own.
        Engine(w).MakeScratchCopy(w.workingCopyOf, copy);
        w.workingCopy = copy;
    }
    return w.workingCopy;
}

bool OnWorkingCopy(const Aggiorna& w, const std::string& archive) {
    return !w.workingCopy.empty() && UCase(w.workingCopyOf) == UCase(archive);
}

void DropWorkingCopy(Aggiorna& w) {
    if (w.workingCopyOf.empty()) return;
    const std::string A = w.workingCopyOf;
    const std::string copy = w.workingCopy;
    w.workingCopyOf.clear();
    w.workingCopy.clear();
    try {
        if (w.Db2.IsOpen()) w.Db2.Close();
    } catch (const Error&) {
    }
    try {
        if (!copy.empty()) Engine(w).SetScratch(copy, false);
    } catch (const Error&) {
    }
    try {
        RemoveScratch(WorkingCopyName(A));
    } catch (const Error&) {
    }
}

void EndWorkingCopy(Aggiorna& w) {
    if (w.workingCopyOf.empty()) return;
    const std::string A = w.workingCopyOf;
    const std::string copy = w.workingCopy;
    if (copy.empty()) return DropWorkingCopy(w);
    try {
        if (w.Db2.IsOpen()) w.Db2.Close();
        w.Db2 = dao::Database();
        // What the comparison deleted is on disk in the recovery archive before the archive loses it.
        SyncRecovery(w);
        const std::string replacement = ReplacementName(A);
        RemoveScratch(replacement);
        {
            platform::PrivateNewFiles privati;
            const std::string P = ArchivePassword(w, A);
            if (P.empty()) {
                Engine(w).CompactDatabase(copy, replacement);
            } else {
                Engine(w).CompactDatabase(copy, replacement, {}, 0, ";pwd=" + P);
            }
        }
        const std::vector<dao::CompletedNulls> completed = Engine(w).LastCompactionCompletedNulls();
        platform::TakeOwnershipFrom(A, replacement);
        platform::ReplaceFile(replacement, A);
        NoteCompletedNulls(w, A, completed);
    } catch (const Error& e) {
        w.runReport.Note(A, "Le modifiche del confronto non si sono potute salvare nell'archivio (" +
                                std::to_string(e.number()) + " " + e.description() +
                                "): l'archivio è rimasto com'era prima dell'aggiornamento.");
    }
    DropWorkingCopy(w);
}

void SeparateArchive(Aggiorna& w, const std::string& identityBefore) {
    const std::string& A = w.NomeDb2;
    if (!w.archiveReservation.Held() || identityBefore.empty() ||
        platform::FileIdentity(A) != identityBefore || platform::LinkCount(A) < 2)
        return;
    try {
        platform::ReplaceWithNewCopy(A, A, ReplacementName(A));
        w.archiveReservation.Release();
        w.archiveReservation = Engine(w).Reserve(A);
    } catch (const Error& e) {
        w.runReport.Note(A, "L'archivio non si è potuto separare dalla sua copia di ripristino (" +
                                std::to_string(e.number()) + " " + e.description() +
                                "): le correzioni dei dati che seguono la scrivono anche in quella copia.");
    }
}

} // namespace ledrana
