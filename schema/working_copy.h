#pragma once
// The comparison's working copy. The archive itself is not written while it is compared: the first opening
// of the archive in a comparison makes a copy beside it (NAME.lavoro, the archive's owner and mode), and
// every opening of the archive in that comparison opens the copy. At the end the copy, compacted or with its
// values stored, takes the archive's name in one rename, so the name holds at every instant either the
// archive as it was or the whole updated one, both plain SQLite files. A copy left by a killed run is
// removed when the archive's next comparison starts.

#include <string>

#include "window/aggiorna.h"

namespace ledrana {

// The copy's name beside the archive, and the scratch name of a file about to take the archive's place.
std::string WorkingCopyName(const std::string& archive);
std::string ReplacementName(const std::string& archive);

// Starts the working copy of w.NomeDb2: removes what a killed run left at the scratch names, checks that the
// folder has room for the copy and a compacted copy (61 "Disco pieno" naming the room needed), and makes the
// copy (the errors of the copy when it cannot be made; nothing is left of it).
void StartWorkingCopy(Aggiorna& w);

// True while the comparison of `archive` works on its working copy, which takes the archive's place only at
// the comparison's end.
bool OnWorkingCopy(const Aggiorna& w, const std::string& archive);

// The path ApreDb opens for NomeDb: the working copy, made at the first call, when NomeDb is the archive
// being compared; NomeDb otherwise.
std::string OpeningPath(Aggiorna& w, const std::string& NomeDb);

// A comparison that ends without success: what it did stays done. The closed copy, written whole with its
// values stored (a compacted copy of it), takes the archive's place; nothing is put in place when no copy was
// made. A failure leaves the archive as it was and is noted in the run's report.
void EndWorkingCopy(Aggiorna& w);

// Removes the copy without putting it in place (the comparison was given up before it changed anything, or
// the program is ending).
void DropWorkingCopy(Aggiorna& w);

// After a comparison that did not replace the archive, before the company's later steps write it in place:
// when other names share the archive's file (the run's restore point, the backup of a compaction), the
// archive takes a copy of its own first, so that those names keep what it was.
void SeparateArchive(Aggiorna& w, const std::string& identityBefore);

} // namespace ledrana
