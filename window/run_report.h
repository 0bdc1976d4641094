#pragma once
// The run's report: the facts of one run that a person reads afterwards (support, the office's IT), kept
// apart from the run log. The run log holds the procedures' own texts and nothing else; whatever more the
// user must know about a run (values journalled, a recovery archive made, a stale Jet lock file, a share
// without byte-range locks, files found beside a missing archive) is noted here by whoever learns it, and
// written out when the run ends.
//
// The run fills it as it goes: the run's start and end, each company and archive with its outcome and the
// changes made to it, the boxes shown with their answers, the INI keys written, and free notes. Writing it
// out (window/run_report_html.h) is a view of these facts.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace ledrana {

using ReportClock = std::chrono::system_clock;

// One fact, about an archive (its Windows path as the run names it) or about the run as a whole ("").
struct ReportNote {
    std::string archive;
    std::string text;
};

// What a change did to an archive, in the order the report groups them.
enum class ChangeKind {
    TableCreated,
    TableRemoved, // count: the rows it held
    FieldCreated, // detail: its type
    FieldChanged, // detail: old and new type
    FieldRemoved,
    IndexCreated,
    IndexRebuilt,
    IndexRemoved,
    QueryCreated,
    QueryChanged,
    QueryRemoved,
    FixedTableCopied, // count: the rows copied
    NullsCompleted,   // count: the values completed
    ZeroLengthAllowed,
    ValuesJournalled, // count: the values; detail: the journal file
    // What the data fixes and the reference tables wrote, read from the archive: count the rows; detail
    // the procedure and the first rows (or values before -> after); object the field of ValuesChanged.
    RowsAdded,
    ValuesChanged,
    RowsRemoved,
    ChangeRefused, // detail: the log's text
};
inline constexpr int kChangeKinds = static_cast<int>(ChangeKind::ChangeRefused) + 1;

struct ReportChange {
    ChangeKind kind = ChangeKind::TableCreated;
    std::string table;
    std::string object; // field, index or query; "" for a table
    std::string detail;
    std::int64_t count = -1; // -1: no count
    std::string before;      // a saved query's SQL before the change ("" for other kinds)
    std::string by;          // the procedure that wrote the rows (RowsAdded, ValuesChanged, RowsRemoved)
};

struct ArchiveReport {
    std::string company; // the company's INI file name, "" when the run compared it for no company
    std::string path;
    std::vector<std::string> outcome; // the log's lines about it: the comparison's, a data fix's failure
    bool updated = true;              // no outcome line said otherwise
    // The errors the run reported with their boxes while it worked on the archive (its opening, a data
    // fix, a reference table, a compaction), in the log's words; and what an interrupted run left beside
    // it that no earlier report named (a sentence each).
    std::vector<std::string> problems;
    std::vector<std::string> leftovers;
    std::string recovery; // the recovery archive the comparison made beside it ("" when none)
    ReportClock::time_point start{};
    double seconds = 0;
    std::vector<ReportChange> changes;

    // Updated with nothing left undone: an outcome that says so, no error met, no change refused.
    bool Whole() const;
};

struct CompanyReport {
    std::string file;
    std::string problem;               // the log's line when the company could not be updated at all
    std::vector<std::string> problems; // the errors reported while no archive of it was being worked on
};

// How a run ended, as the unattended program's exit status and the report's verdict tell it: they never
// claim more than the run did.
enum class RunEnd {
    Done,        // "Aggiornamento eseguito" with every company and archive wholly updated
    Incomplete,  // "Aggiornamento eseguito", but something was not wholly updated or an error was met
    NotDone,     // "Aggiornamento NON eseguito completamente"
    LockHeld,    // another update held the data folder: nothing was changed
    Interrupted, // the program ended before the run's end (No at the start, a password not given)
};

struct ReportBox {
    std::string title; // as shown: an empty title is the application's
    std::string text;
    int style = 0;
    bool input = false;
    std::string answer; // the button's name, or the text typed (a password as ***)
};

struct IniChange {
    std::string file, section, key;
    std::optional<std::string> before; // nothing: the key was added
    std::string after;
};

class RunReport {
public:
    // Notes a fact; `archive` is "" for the whole run.
    void Note(const std::string& archive, const std::string& text) { notes_.push_back({archive, text}); }
    // Notes a fact once per run: a second call with the same key adds nothing (a share without lock
    // support is said once per folder, not once per file). Returns true when it was noted now.
    bool NoteOnce(const std::string& key, const std::string& archive, const std::string& text) {
        for (const auto& k : onceKeys_)
            if (k == key) return false;
        onceKeys_.push_back(key);
        Note(archive, text);
        return true;
    }
    const std::vector<ReportNote>& notes() const { return notes_; }
    // The archive held half of a change that a program stopped in the middle of, and its reservation
    // undid it.
    void NoteUndoneChange(const std::string& archive) {
        Note(archive, "L'archivio conteneva una modifica lasciata a metà da un programma che si era fermato "
                      "mentre lo scriveva: è stata annullata, come fa ogni programma che lo apre, prima "
                      "dell'aggiornamento.");
    }

    // --- the run as a whole, set by the run
    ReportClock::time_point start = ReportClock::now();
    ReportClock::time_point end{};
    std::optional<std::string> versionBefore; // nothing on a new installation (no dir.txt)
    std::string versionNow;
    std::string dataFolder;
    // Who ran it, where and with what: the computer and the user, the program with its version and build,
    // the command line (passwords masked; "" for the window), the model folder the run took.
    std::string computer, user, program, commandLine, modelFolder;
    std::string outcome;   // the last line of the log: "Aggiornamento eseguito" or its failure
    bool lockHeld = false; // the run stopped because another update held the data folder
    // A preview: the run worked on copies; `previewPaths` says which copy stands for which real folder
    // (scratch Windows path, real path), and the report names the real ones.
    bool preview = false;
    std::vector<std::pair<std::string, std::string>> previewPaths;
    // The text with the real folder named wherever it names a preview's copy.
    std::string RealNames(std::string text) const;
    // The restore point the run opened (a Windows path; "" when it made none), and whether something it
    // should hold is missing from it (the notes say what): older points are then kept.
    std::string restorePoint;
    bool restorePointIncomplete = false;
    // The folder the report is written into (a Windows path); "" for data folder + "\ledrana\rapporti".
    std::string folder;
    // The file it was written to at the end of the run; "" until then, or when it could not be written
    // (reportError then says why).
    std::string file;
    std::string reportError;

    // --- companies and archives
    void Company(const std::string& file);
    void CompanyNotUpdated(const std::string& file, const std::string& logLine);
    void StartArchive(const std::string& company, const std::string& path);
    // The log's line about the archive; the first one also ends its time.
    void ArchiveOutcome(const std::string& path, bool updated, const std::string& logLine);
    // Adds a change to the archive at `path` (matched without regard to case; a path no company has named
    // is added on its own).
    void Change(const std::string& path, ChangeKind kind, const std::string& table,
                const std::string& object = "", const std::string& detail = "", std::int64_t count = -1);
    // The state before the last change added for the archive (a saved query's old SQL).
    void ChangedFrom(const std::string& path, const std::string& before) {
        ArchiveReport& a = ArchiveAt(path);
        if (!a.changes.empty()) a.changes.back().before = before;
    }
    // The procedure that made the last change added for the archive.
    void ChangedBy(const std::string& path, const std::string& by) {
        ArchiveReport& a = ArchiveAt(path);
        if (!a.changes.empty()) a.changes.back().by = by;
    }
    const std::vector<CompanyReport>& companies() const { return companies_; }
    const std::vector<ArchiveReport>& archives() const { return archives_; }
    // An error the run reported with its box while it worked (the log's line): it belongs to the archive
    // being worked on, else to the company, else to the run as a whole. StartArchive makes an archive the
    // one worked on, Company and LeaveArchive make it none.
    void Problem(const std::string& logLine);
    void LeaveArchive() { current_.clear(); }
    const std::string& currentCompany() const { return company_; }
    const std::string& currentArchive() const { return current_; }
    const std::vector<std::string>& problems() const { return problems_; }
    void Leftover(const std::string& path, const std::string& sentence) {
        ArchiveAt(path).leftovers.push_back(sentence);
    }
    void Recovery(const std::string& path, const std::string& file) { ArchiveAt(path).recovery = file; }
    // Companies whose archives were all wholly updated, and the others; archives not wholly updated.
    int CompaniesUpdated() const;
    int CompaniesNotUpdated() const { return static_cast<int>(companies_.size()) - CompaniesUpdated(); }
    int ArchivesNotUpdated() const;
    RunEnd End() const;

    // --- boxes and INI files
    void Box(ReportBox box) { boxes_.push_back(std::move(box)); }
    const std::vector<ReportBox>& boxes() const { return boxes_; }
    void IniWritten(const std::string& file, const std::string& section, const std::string& key,
                    const std::optional<std::string>& before, const std::string& after);
    const std::vector<IniChange>& iniChanges() const { return ini_; }
    // The files the run copied into place (source, destination).
    void FileCopied(const std::string& from, const std::string& to) { copies_.emplace_back(from, to); }
    const std::vector<std::pair<std::string, std::string>>& filesCopied() const { return copies_; }

private:
    ArchiveReport& ArchiveAt(const std::string& path);

    std::vector<ReportNote> notes_;
    std::vector<std::string> onceKeys_;
    std::vector<std::string> problems_; // the run's own, outside any company
    std::string company_, current_;     // the company and the archive being worked on
    std::vector<CompanyReport> companies_;
    std::vector<ArchiveReport> archives_;
    std::vector<ReportBox> boxes_;
    std::vector<IniChange> ini_;
    std::vector<std::pair<std::string, std::string>> copies_;
};

// The facts of a restore (aggiorna-batch --ripristina): the restore point it put back, each archive and
// file with what became of it, and the restore point of its own that keeps what it replaced.
struct RestoreReport {
    ReportClock::time_point start = ReportClock::now();
    ReportClock::time_point end{};
    std::string dataFolder;
    std::string restorePoint;    // the point put back
    std::string ownRestorePoint; // "" when the restore replaced nothing
    bool forced = false;
    struct Item {
        std::string path;
        std::string outcome; // in words
        bool ok = true;
    };
    std::vector<Item> archives, files;
    std::vector<std::string> notes;
    std::string outcome;
    bool ok = false;
};

// A field's type as the report names it: "Testo (50)", "Intero lungo", "Intero lungo, contatore".
std::string FieldTypeText(int type, std::int32_t size, std::int32_t attributes = 0);

// The window's boxes, each recorded in the report with its answer as it is shown.
class ReportedDialogs : public Dialogs {
public:
    ReportedDialogs(Dialogs& shown, RunReport& report) : shown_(shown), report_(report) {}
    int MsgBox(const std::string& text, int style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title) override;
    std::optional<std::string> BrowseForFolder(const std::string& title) override;
    void DoEvents() override { shown_.DoEvents(); }

private:
    Dialogs& shown_;
    RunReport& report_;
};

} // namespace ledrana
