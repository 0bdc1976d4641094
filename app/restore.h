#pragma once
// aggiorna-batch --ripristina: the data folder put back as a restore point of an update holds it
// (app/restore_point.h).
//
// Every archive goes back by one rename (a copy of the point's file, a clone where the file system has them,
// made at a scratch name beside the archive, then renamed over it), so its name holds a whole archive at
// every instant and the point keeps its own file, whatever is written in the archive afterwards; every other
// file the point holds goes back as FileCopy writes a file; what the run added to the data folder, and beside
// the archives outside it, is moved away.
// An archive that has changed since the run (its change counter, size or time differ from what the run
// left), or whose point is not complete, is left as it is unless the restore is forced; so is a file the run
// added that has changed since. Nothing is deleted: whatever the restore replaces or moves away goes into a
// restore point of its own, which a later restore can put back in turn. The restore holds the update lock
// of the data folder and writes its report into LEDRANA\rapporti.

#include <ostream>
#include <string>

namespace ledrana {

struct RestoreOptions {
    std::string when;     // the point's name (yyyymmdd-hhmmss); "" for the last update run's
    bool force = false;   // archives and added files that changed since the run are put back too
    bool preview = false; // says what it would do, changes nothing
};

// Exit statuses of aggiorna-batch --ripristina.
inline constexpr int kRestoreDone = 0;
inline constexpr int kRestoreNoPoint = 2;
inline constexpr int kRestoreLocked = 6;
inline constexpr int kRestorePartial = 7;

// Restores the data folder of the machine of the platform's prefix, telling on `out` what it does.
int Restore(const RestoreOptions& options, std::ostream& out);

} // namespace ledrana
