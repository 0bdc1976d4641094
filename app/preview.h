#pragma once
// The preview of an update: the whole run made on copies of what it would change, in a scratch machine,
// while the installation stays exactly as it is. Only the report of what the run would do is written into
// the real data folder.
//
// The scratch machine is a prefix of its own in a temporary folder of this process (platform::MakeTempFolder:
// one left by a killed preview is removed by the next preview or run) that holds a copy of the Windows
// folder (dir.txt, the shortcuts), of the data folder (companies' INI files and archives, the installation
// INI, the templates) and of every archive a company INI names outside the data folder. A copy keeps the
// real Windows path where the prefix can give it one (C:, a lettered drive, a share); another drive (the
// host's own Z:, a lettered drive) is copied under C:\ANTEPRIMA-<letter>, and the report names it back. An
// archive named outside the data folder that is missing is named so too, so that nothing the run makes
// beside it lands on the real machine.
//
// The preview stays in its box:
//  - it holds the data folder's update lock (platform/runlock.h) from before its first copy to its end, so
//    an update and a preview never run at once; a lock file it had to make is removed at its end;
//  - a symbolic link is copied as a link, never followed into a folder: its target is the copy of what it
//    leads to (a link that leads out of the machine leads to a copy that is not there, and the report says
//    so); a link to a file outside the copied folders is copied as the file;
//  - the copies need room: what they hold is counted first, and a temporary folder without that room
//    stops the preview before anything is copied (61);
//  - while the run works, every change the program's file calls would make outside the scratch machine and
//    the report's folder is refused (platform/box.h);
//  - nothing is made on the real machine: not its skeleton, not a folder on the way to the report. A
//    machine with no installation yet (no ledrana folder in its data folder) gets its report in a folder of
//    its own in the host's temporary folder (ledrana-anteprima-XXXXXX).

#include <optional>
#include <string>
#include <vector>

#include "dao/dao.h"
#include "platform/box.h"
#include "platform/runlock.h"
#include "window/run_report.h"

namespace ledrana {

class Preview {
public:
    // `realPrefix`: the host folder of the machine to preview.
    explicit Preview(std::string realPrefix);
    // Removes the scratch machine and gives the data folder's lock back.
    ~Preview();
    Preview(const Preview&) = delete;
    Preview& operator=(const Preview&) = delete;

    // Makes the copies (the platform's prefix is the real one while it works, and the scratch one when it
    // returns) and prepares `report` for a preview: the real names of the copies and the real folder the
    // report goes into (created when missing). An archive that cannot be copied (in use, unreadable) is
    // left out and noted in the report with the reason. Throws platform::FolderHeld when another update,
    // preview or restore holds the data folder, 61 when the temporary folder has no room for the copies,
    // and ledrana::Error when the copies cannot be made at all; nothing is then left anywhere.
    void Prepare(dao::DBEngine& engine, RunReport& report);

    const std::string& scratchPrefix() const { return scratchPrefix_; }

private:
    struct Place {
        std::string host;    // the copy's host path
        std::string windows; // its Windows path in the scratch machine
    };
    // Where the copy of a path of the real machine goes (the real machine is the prefix).
    Place Mirror(const std::string& realWindowsPath);
    // One thing to copy: a folder to make, a file, an archive, or a link to make with `target`.
    struct Copy {
        enum class Kind { Folder, File, Archive, Link } kind;
        std::string from;   // Windows path on the real machine
        std::string toHost; // host path in the scratch machine
        std::string target; // a link's target (host path in the scratch machine)
    };
    // The copies of a folder of the real machine and what it holds, the folders of `skip` (paths below it,
    // in upper case) left out; `archives` (real host paths) are copied as archives.
    void PlanTree(const std::string& from, const std::vector<std::string>& skip,
                  const std::vector<std::string>& copiedRoots, const std::vector<std::string>& archives,
                  RunReport& report, std::vector<Copy>& plan);

    std::string real_;
    std::string scratch_;              // the temporary folder
    std::string scratchPrefix_;        // the scratch machine inside it
    std::vector<std::string> aliases_; // drive letters copied under C:\ANTEPRIMA-<letter>
    platform::RunLock lock_;           // the real data folder's
    std::optional<platform::WriteBox> box_;
};

} // namespace ledrana
