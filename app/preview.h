#pragma once
// The preview of an update: the whole run made on copies of what it would change, in a scratch machine,
// while the installation stays exactly as it is. Only the report of what the run would do is written into
// the real data folder.
//
// The scratch machine is a prefix of its own in the host's temporary folder that holds a copy of the
// Windows folder (dir.txt, the shortcuts), of the data folder (companies' INI files and archives, the
// installation INI, the templates) and of every archive a company INI names outside the data folder. A
// copy keeps the real Windows path where the prefix can give it one (C:, a lettered drive, a share);
// another drive (the host's own Z:, a lettered drive) is copied under C:\ANTEPRIMA-<letter>, and the
// report names it back.

#include <string>
#include <vector>

#include "dao/dao.h"
#include "window/run_report.h"

namespace ledrana {

class Preview {
public:
    // `realPrefix`: the host folder of the machine to preview.
    explicit Preview(std::string realPrefix);
    // Removes the scratch machine.
    ~Preview();
    Preview(const Preview&) = delete;
    Preview& operator=(const Preview&) = delete;

    // Makes the copies (the platform's prefix is the real one while it works, and the scratch one when it
    // returns) and prepares `report` for a preview: the real names of the copies and the real folder the
    // report goes into (created when missing). An archive that cannot be copied (in use, unreadable) is
    // left out and noted in the report with the reason. Throws ledrana::Error when the copies cannot be
    // made at all.
    void Prepare(dao::DBEngine& engine, RunReport& report);

    const std::string& scratchPrefix() const { return scratchPrefix_; }

private:
    struct Place {
        std::string host;    // the copy's host path
        std::string windows; // its Windows path in the scratch machine
    };
    // Where the copy of a path of the real machine goes (the real machine is the prefix).
    Place Mirror(const std::string& realWindowsPath);

    std::string real_;
    std::string scratch_;              // the temporary folder
    std::string scratchPrefix_;        // the scratch machine inside it
    std::vector<std::string> aliases_; // drive letters copied under C:\ANTEPRIMA-<letter>
};

} // namespace ledrana
