#pragma once
// The restore point of an update: the data folder as the run found it, kept so that
// `aggiorna-batch --ripristina` (app/restore.h) can put it back.
//
// A restore point is a folder LEDRANA\ripristino\<yyyymmdd-hhmmss> of the data folder, with the data
// folder's owner, group and mode. It holds every archive the run may change as it was: a second name of the
// archive's file, so no byte is written (the run replaces an archive by a rename, never writing the file it
// found), a copy only where the file system refuses links; an archive the run has not replaced when it ends
// gets a copy of its own in the point then, so that what is written in the archive later does not reach the
// point. Beside them, a copy of every other file the run rewrites, and the manifest, manifesto.txt.
//
// The manifest is text (UTF-8, one record a line, its fields separated by tabs; "%", tab, CR and LF inside
// a field are written %25, %09, %0D, %0A):
//   Punto di ripristino di Tessaro  1          the first line, with the format's number
//   tipo      aggiornamento | ripristino        made by an update run, or by a restore (what it replaced)
//   cartella  C:\ZU                             the data folder
//   aperto    20261207-021901                   when the point was opened
//   archivio  PATH SAVED SIZE TIME COUNTER      an archive as found, kept in the point as SAVED
//   file      PATH SAVED                        another file as found
//   trovato   REL c|f                           every folder (c) and file (f) of the data folder then
//   fuori     FOLDER                            a folder outside the data folder that the run writes in
//                                               (beside an archive named there): its files are listed too
//   trovato-fuori  PATH c|f                     such a folder and its files (not its subfolders) then
//   lasciato  PATH SIZE TIME COUNTER            an archive as the run left it
//   creato    REL c|f SIZE TIME                 what the run added to the data folder
//   creato-fuori  PATH c|f SIZE TIME            what it added in a folder outside it
//   chiuso    20261207-022312                   the run ended: the point is complete
// PATH and FOLDER are Windows paths; SAVED and REL are relative to the point and to the data folder; TIME is
// the modification time in nanoseconds since 1970; COUNTER is SQLite's file change counter (bytes 24-27 of
// the header), "-" for a file that is no SQLite database; a missing archive is "-" in all three. The listings
// leave out LEDRANA\rapporti, LEDRANA\ripristino and the lock file LEDRANA\update.lock. A line of another
// kind is passed over, so later versions may add some.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "window/run_report.h"

namespace ledrana {

// SQLite's file change counter in the first bytes of a file (at least 28); nothing when they are not the
// header of a SQLite database.
std::optional<std::uint32_t> ChangeCounter(const std::string& header);

// What tells whether an archive has been written since it was looked at, without reading it all.
struct ArchiveMark {
    bool exists = false;
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds since 1970
    std::optional<std::uint32_t> counter;
    bool operator==(const ArchiveMark&) const = default;
};
ArchiveMark MarkOf(const std::string& path);
// What differs between two marks, in words: "contatore delle modifiche 12 → 14, dimensione 40960 → 45056
// byte, ultima modifica 07/12/2026 02:23:12 → 07/12/2026 09:15:40".
std::string MarkDifferences(const ArchiveMark& before, const ArchiveMark& now);

struct Manifest {
    bool restore = false; // made by a restore, not by an update run
    std::string dataFolder;
    std::string opened, closed; // yyyymmdd-hhmmss; closed is "" until the point is complete
    struct Archive {
        std::string path, saved;
        ArchiveMark found;
        std::optional<ArchiveMark> left;
    };
    struct File {
        std::string path, saved;
    };
    struct Created {
        std::string path; // relative to the data folder; a whole path when `outside`
        bool folder = false;
        std::int64_t size = 0, modified = 0;
        bool outside = false;
    };
    std::vector<Archive> archives;
    std::vector<File> files;
    std::vector<platform::TreeEntry> found;
    std::vector<std::string> outside;              // folders outside the data folder
    std::vector<platform::TreeEntry> foundOutside; // whole paths
    std::vector<Created> created;

    bool complete() const { return !closed.empty(); }
};
std::string ManifestText(const Manifest& manifest);
// Throws Error 5 naming the line when the text is not a manifest.
Manifest ParseManifest(const std::string& text);

// The data folder's files and folders, relative to it, but the folders and the file the restore points
// leave out.
std::vector<platform::TreeEntry> DataFolderListing(const std::string& dataFolder);
// The folders outside the data folder that a point lists, each followed by its files, as whole paths; a
// folder that is not there has no entry.
std::vector<platform::TreeEntry> OutsideListing(const std::vector<std::string>& folders);

// A restore point being made. Its manifest is written when it is opened, by Flush and by Complete, each
// time whole under its name.
class RestorePoint {
public:
    // Opens a new point in dataFolder\LEDRANA\ripristino named after `when` in local time (a name taken
    // already gets "-2", "-3", ...), with the data folder's listing as it is now. Throws Error when its
    // folder or manifest cannot be made.
    RestorePoint(const std::string& dataFolder, ReportClock::time_point when, bool restore);

    const std::string& folder() const { return folder_; } // a Windows path
    const std::string& name() const { return name_; }
    const Manifest& manifest() const { return m_; }

    // Keeps an archive (a link, else a copy) or another file (a copy) as it is now. Throws Error when it
    // cannot: the point then does not hold it.
    void KeepArchive(const std::string& path);
    void KeepFile(const std::string& path);
    // Lists a folder outside the data folder that the run writes in (beside an archive named there), so that
    // Complete can record what the run adds to it; a folder inside the data folder is passed over, the data
    // folder's listing has it, and so is a path that names no folder of this machine. Throws Error when the
    // folder cannot be listed.
    void Watch(const std::string& folder);
    // Moves a file of the data folder into the point (a file the run created, taken away by a restore).
    void MoveIn(const std::string& path);
    // Writes the manifest with what the point holds so far.
    void Flush();
    // Records what each archive is now and what the data folder, and each folder outside it that the point
    // lists, holds that it did not: the point is complete. An archive that is still the point's own file gets
    // a copy of its own in the point first. Returns, in words, what could not be done of that (the point
    // then keeps the archive's second name, or lacks what was added in a folder outside); throws Error when
    // the manifest cannot be written.
    std::vector<std::string> Complete();

private:
    std::string Saved(const std::string& path);
    bool Inside(const std::string& path) const;

    std::string data_, folder_, name_;
    Manifest m_;
    int elsewhere_ = 0;
};

// The restore points of a data folder, oldest first. A point whose manifest cannot be read has none.
struct RestorePointEntry {
    std::string name, folder;
    std::optional<Manifest> manifest;
};
std::vector<RestorePointEntry> RestorePoints(const std::string& dataFolder);

// Removes the restore points of update runs older than the newest `keep` (one whose manifest cannot be
// read counts as a run's); the points that restores made stay. Returns what could not be removed, in words.
std::vector<std::string> PruneRestorePoints(const std::string& dataFolder, int keep);

} // namespace ledrana
