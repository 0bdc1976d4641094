#pragma once
// Whole update runs: a sample installation made by mkinstall in a fresh prefix, aggiorna-batch on it as a
// child process, then a look at what the run left with daotool and the platform's file and profile
// functions (names found without regard to case, as the program finds them).

#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/temp_prefix.h"

namespace ledrana::e2e {

namespace fs = std::filesystem;

// The answers of an ordinary unattended run on the sample installations: Beta's password wherever its
// box comes, and No to opening the main program at the end.
inline constexpr const char* kAnswers =
    "if Ditta: Beta -> text:segreto\nif Aprire il programma adesso -> No\n";
// The data folder of the sample installations, and the last line of a run that did not end well.
inline const std::string kData = "C:\\ZU";
inline const std::string kFailed = "Aggiornamento NON eseguito completamente";

// One box as aggiorna-batch wrote it to its --boxes file.
struct Box {
    std::string title;
    int style = 0;
    std::string text, answer;
    bool input = false;
};

// What one run of aggiorna-batch left behind.
struct Outcome {
    int status = -1;                      // the program's exit status
    std::string log;                      // the run log exactly as --log wrote it
    std::vector<std::string> entries;     // the log cut at each CR LF "->": the entries, in order
    std::vector<Box> boxes;               // every box, in order
    std::vector<std::pair<int, int>> bar; // the progress bar as repainted: value, maximum
    std::string console;                  // standard output and error
    fs::path report;                      // the run's report, as the program printed its path

    // The report's page, and its verdict: "ok" (green), "warn" or "ko"; "" without a report.
    std::string page() const;
    std::string verdict() const;
    // The first box whose text contains `fragment`, the first entry equal to `entry` (-1 when none), and
    // the entries that contain `fragment`.
    int box(const std::string& fragment) const;
    int entry(const std::string& entry) const;
    std::vector<std::string> entriesWith(const std::string& fragment) const;
};

// The release folder the build made (the model folder of every run), and the path and bytes of a file of it.
fs::path ReleaseFolder();
std::string Release(const std::string& name);
std::string ReleaseBytes(const std::string& name);

// A stand-in Windows machine in a temporary prefix, set as the platform's prefix for its lifetime.
class Machine {
public:
    // `kind` as mkinstall takes it (old, old-layout, current); "" leaves the machine empty.
    explicit Machine(const std::string& kind = "");

    const fs::path& root() const { return prefix_.root(); }
    // The host path of a Windows path on this machine (names matched without regard to case).
    fs::path host(const std::string& windowsPath) const;
    bool exists(const std::string& windowsPath) const;
    std::string read(const std::string& windowsPath) const;
    void write(const std::string& windowsPath, const std::string& bytes) const;
    // The value of an INI key as the profile functions read it; "<missing>" when there is none.
    std::string ini(const std::string& windowsPath, const std::string& section, const std::string& key) const;

    // One unattended run with the given answers and model folder, and more options (--anteprima).
    Outcome Update(const std::string& answers = kAnswers, const fs::path& model = ReleaseFolder(),
                   const std::string& options = "") const;
    // The arguments of an unattended run on this machine: `line` (the program, a launcher's faults), the
    // prefix, `model` and the answers (written into `dir`, private), then `more`.
    std::vector<std::string> RunLine(std::vector<std::string> line, const fs::path& dir,
                                     const std::vector<std::string>& more = {},
                                     const fs::path& model = ReleaseFolder(),
                                     const std::string& answers = kAnswers) const;
    // Runs a program with this machine as the prefix; returns the exit status, output in `out`.
    int Shell(const std::string& commandLine, std::string* out) const;

    // daotool on an archive of this machine (or a host path): its structure, a query's rows with the cells
    // tab-separated (the header line left out), the first cell of its first row.
    std::string Schema(const std::string& path, const std::string& password = "") const;
    std::vector<std::string> Query(const std::string& path, const std::string& sql,
                                   const std::string& password = "") const;
    std::string Value(const std::string& path, const std::string& sql,
                      const std::string& password = "") const;

    // daotool exec: the statements run in turn on an archive of this machine (a failure of the test when one
    // fails).
    void Exec(const std::string& path, const std::vector<std::string>& statements) const;

    // Leaves half of a change in an accounting archive of this machine, its journal beside it, as a
    // program that stopped while it wrote it would: a new table Mezza, every RagSoc of CLIENTI Null.
    void LeaveHalfWritten(const std::string& path) const;

    // daotool with any arguments (shell-quoted by the caller); its output, `ok` when it ended 0.
    std::string DaoTool(const std::string& password, const std::string& args, bool* ok) const;

private:
    ledrana::testing::TempPrefix prefix_;
};

// The arguments shell-quoted, in one command line.
std::string Shelled(const std::vector<std::string>& argv);

// A copy of the release folder in a temporary folder, so a test can take files away from the model.
class ModelFolder {
public:
    ModelFolder();
    ~ModelFolder();
    ModelFolder(const ModelFolder&) = delete;
    ModelFolder& operator=(const ModelFolder&) = delete;

    const fs::path& path() const { return path_; }
    void remove(const std::string& name) const;

private:
    fs::path path_;
};

// The lines of a text.
std::vector<std::string> Lines(const std::string& text);

// Runs a suite's shared setup and returns what it threw ("" for nothing), for each test to fail on: a setup
// that throws would have googletest report every test skipped, which ctest counts as passed.
inline std::string FailureOf(void (*setup)()) {
    try {
        setup();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

using ledrana::testing::Names;

// Every file and folder under `root` but the runs' own folders (run...): kind and mode, and a file's bytes
// or a link's target.
std::map<std::string, std::string> Snapshot(const fs::path& root);

// The names whose values differ between two listings (Snapshot, Digest), one line each ("missing: ",
// "changed: ", "added:   "); "" when none does.
std::string Differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& now);

// Every file, folder and link under `root` as Snapshot gives it, with its owner and group, then (after a tab)
// the time of its last change.
std::map<std::string, std::string> Digest(const fs::path& root);

// What differs between the digest `before` and the machine at `root` after a preview, as Differences says
// it: the report's folder left out (the reports, their twins and their index, which must be there; the
// folder made for it when missing), and the time of change of the folders on its way (a name was added in
// them) and of the data folder's LEDRANA (the preview's lock file made there and removed).
std::string ChangedSince(std::map<std::string, std::string> before, const fs::path& root,
                         const fs::path& report);

// The differences between a model's structure and an updated archive's, as daotool prints them, leaving
// out what an update leaves different by design: names compared without regard to case, text and memo
// fields that accept zero-length text, the fields of an index in another order, and saved queries whose
// SQL differs only in letter case. One line per difference ("model: ..." or "archive: ..."); "" when
// the structures agree.
std::string StructureDifferences(const std::string& model, const std::string& archive);

// Gamma's accounting archive as a run names it (INI values are upper-cased).
inline const std::string kGammaCont = "C:\\ZU\\Gamma\\CONT32.MDB";

} // namespace ledrana::e2e
