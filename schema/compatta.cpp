// Compaction of an archive in place: the engine writes a compact copy beside it (A.tmp); when the copy is
// large enough to be a real archive, the archive as it was is kept as A.tmp2 and the archive replaced by the
// copy. The archive's rows are written once: A.tmp2 is a second name of the archive's file (a copy where the
// file system has no links), and the compacted copy itself is renamed over the archive, then made again as
// A.tmp, a clone where the file system has them (else a copy). The archive is never absent, never
// half-written, even for an instant.

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/newfile.h"
#include "platform/text.h"
#include "platform/vb_errors.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "schema/recovery.h"
#include "schema/working_copy.h"
#include "window/run_log.h"

namespace ledrana {

using namespace schema_detail;

namespace {

constexpr std::int64_t kSogliaCompattato = 200000;

// Deletes a leftover of an earlier compaction; none there is not an error.
void CancellaAvanzo(const std::string& file) {
    try {
        platform::Kill(file);
    } catch (const Error& e) {
        if (e.number() != kErrFileNotFound) throw;
    }
}

void NascondiAttesa(Aggiorna& w) {
    w.FrameAttendere.visible = false;
    w.Refresh(w.FrameAttendere);
    w.RefreshWindow();
}

} // namespace

void CompattaArchivio(Aggiorna& w, const std::string& NomeDb) {
    const std::string& A = NomeDb;
    const std::string compattato = A + ".tmp";
    const std::string copia = A + ".tmp2";
    // After a comparison the archive is still as it was: the comparison's changes are in its working copy,
    // which is what is compacted.
    const bool lavoro = OnWorkingCopy(w, A);
    const std::string sorgente = lavoro ? w.workingCopy : A;
    try {
        const int i = PasswordListSlot(w, A);
        const std::string P = i > 0 ? w.PwdDb[i] : std::string();

        w.FrameAttendere.visible = true;
        w.Refresh(w.FrameAttendere);
        // What the comparison deleted from the working copy is on disk in the recovery archive before the
        // archive loses it; when it cannot be, no compacted copy is made.
        if (lavoro) SyncRecovery(w);

        CancellaAvanzo(compattato);
        {
            // The engine creates the copy and its journal itself: no link may stand at their names, and
            // the copy is private until it takes the archive's owner and mode.
            platform::RemoveLink(compattato + "-journal");
            platform::PrivateNewFiles privati;
            if (P.empty()) {
                Engine(w).CompactDatabase(sorgente, compattato);
            } else {
                Engine(w).CompactDatabase(sorgente, compattato, {}, 0, ";pwd=" + P);
            }
        }
        const std::vector<dao::CompletedNulls> completati = Engine(w).LastCompactionCompletedNulls();
        platform::TakeOwnershipFrom(A, compattato);

        // A copy this small is not a whole archive: the archive stays as the comparison left it.
        bool sostituito = false;
        if (platform::FileLen(compattato) > kSogliaCompattato) {
            CancellaAvanzo(copia);
            // The backup is the archive's own file under a second name: the archive is then replaced by a
            // rename, never written in place, so the backup keeps the content it had, without a byte
            // written (a copy where links are refused).
            platform::LinkOrCopyToNewFile(A, copia);
            if (platform::FileLen(A) == platform::FileLen(copia)) {
                if (lavoro) {
                    // The compacted copy takes the archive's name, and stays at its own as a second name of
                    // the new archive (a copy where links are refused).
                    platform::ReplaceFile(compattato, A);
                    platform::LinkOrCopyToNewFile(A, compattato);
                } else {
                    platform::ReplaceWithCopy(compattato, A);
                }
                sostituito = true;
            } else {
                w.dialogs.MsgBox("Errore compattamento archivio: " + A, vbOKOnly, "");
            }
        }
        if (lavoro && !sostituito) {
            // The archive as the comparison left it: the working copy with its values stored, which is what
            // the compacted copy holds. The compacted copy takes the archive's name under a second name of
            // its file, as when it replaces the archive (a copy where links are refused).
            const std::string nuovo = ReplacementName(A);
            platform::RemoveLink(nuovo);
            CancellaAvanzo(nuovo);
            platform::LinkOrCopyToNewFile(compattato, nuovo);
            platform::ReplaceFile(nuovo, A);
        }
        if (sostituito || lavoro) NoteCompletedNulls(w, A, completati);
        if (lavoro) DropWorkingCopy(w);
        NascondiAttesa(w);
    } catch (const Error& e) {
        NascondiAttesa(w);
        MemLog(w, VbStr(e.number()) + e.description(), true);
        // What the comparison did stays done when it can: its copy takes the archive's place.
        if (lavoro) EndWorkingCopy(w);
    }
}

} // namespace ledrana
