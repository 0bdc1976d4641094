#pragma once
// Nothing in window/ draws: it holds the state of the window and of a run, below the steps that use it, and
// gui/ paints a window from it (window/README.md).
//
// The window AGGIORNA as plain data: every control with its design-time state, the state of a run that the
// window owns (data folder, the database pair, the password list, the comparison failure flag, the run log,
// the progress bar), and the few services its procedures need (the dialogs, repainting, ending the program).
//
// Procedures are free functions that take the window: `void Command2_Click(Aggiorna& w)`,
// `bool Ponteval(Aggiorna& w)`. They read and set the controls by member (`w.Command2.caption = "Esegui";
// w.Refresh(w.Command2);`). Tests and unattended runs use it without any window at all.
//
// Coordinates are twips (15 twips per pixel on the screens we draw for), relative to the window's client
// area or to the frame named in `container`.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dao/dao.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "window/report.h"
#include "window/run_report.h"

namespace ledrana {

// VB's Boolean: a 16-bit integer, True is -1.
using VbBoolean = std::int16_t;
inline constexpr VbBoolean vbTrue = -1;
inline constexpr VbBoolean vbFalse = 0;

// Mouse pointers, as VB numbers them (Screen.MousePointer, Control.MousePointer).
inline constexpr int vbDefault = 0;
inline constexpr int vbHourglass = 11;
inline constexpr int vbCustom = 99;

enum class ControlKind {
    Label,
    TextBox,
    CheckBox,
    Frame,
    CommandButton,
    FileListBox,
    PictureBox,
    ProgressBar,
};

// A font as the form designer names it; gui/ maps the Windows face names to fonts present on the host.
struct Font {
    std::string name = "MS Sans Serif";
    double size = 8.25; // points
    bool bold = false;
    bool underline = false;
};

// One control in the state a procedure sees. Which fields mean something depends on the kind:
// `caption` for labels, buttons, frames and check boxes; `text` for text boxes; `value` for check boxes
// (0 not ticked, 1 ticked).
struct Control {
    std::string name;
    ControlKind kind = ControlKind::Label;
    std::string caption;
    std::string text;
    int left = 0, top = 0, width = 0, height = 0; // twips
    bool visible = true;
    bool enabled = true;
    int value = 0;
    std::string container; // name of the holding frame; "" = the window
    Font font;
    // VB colour values: &H00BBGGRR, or &H800000nn for system colour nn.
    std::uint32_t foreColor = 0x80000012; // system "button text"
    std::uint32_t backColor = 0x8000000F; // system "button face"
    int alignment = 0;                    // labels: 0 left, 1 right, 2 centre
    bool backTransparent = false;         // labels drawn over the window's gradient
    std::string toolTipText;
    bool multiLine = false;
    bool verticalScrollBar = false;
    int mousePointer = vbDefault;
};

// The hidden file list: `SetPath` and `SetPattern` re-read the folder as the VB control does.
struct FileListBox : Control {
    std::string path;                 // Windows path of the listed folder
    std::string pattern = "*.*";      // ";"-separated wildcard patterns, matched without regard to case
    std::vector<std::string> entries; // file names as stored on disk, sorted by name without regard to case
    int listIndex = -1;               // selected entry, -1 none

    // Lists the files (not folders) of `windowsPath` that match the pattern. A folder that cannot be read
    // leaves the list empty. Resets the selection.
    void SetPath(const std::string& windowsPath);
    void SetPattern(const std::string& newPattern);
    int ListCount() const { return static_cast<int>(entries.size()); }
    // The selected entry ("" when nothing is selected), as VB's FileName.
    std::string FileName() const;

private:
    void Reload();
};

// The common-controls progress bar. The value stays within [min, max] only because callers keep it so.
struct ProgressBar : Control {
    int min = 0;
    int max = 100;
    int value = 0;
};

// Thrown by Aggiorna::End to leave every procedure at once when the program must end. It is not an error:
// procedures catch ledrana::Error only, never `...`, so this reaches the event's caller (Aggiorna::RunEvent).
struct ProgramEnded {};

// The window is also the Reporter of install/: its run log (MemLog, window/run_log.h) and its progress tick.
class Aggiorna : public Reporter {
public:
    // `appPath` is the program's own folder as a Windows path without trailing backslash (VB's App.Path).
    Aggiorna(Dialogs& dialogs, std::string appPath);
    ~Aggiorna() override;
    Aggiorna(const Aggiorna&) = delete;
    Aggiorna& operator=(const Aggiorna&) = delete;

    // Reporter: the same as ledrana::MemLog(*this, ...) and ledrana::ProgressTick(*this).
    void MemLog(const std::string& stringa, bool visualizzoMsgBox) override;
    void ProgressTick() override;
    RunReport* Report() override { return &runReport; }

    // --- the window itself
    std::string name = "Aggiorna";
    std::string caption = "Tessaro: Aggiornamento archivi";
    int clientWidth = 6390;             // twips
    int clientHeight = 6465;            // twips
    int screenMousePointer = vbDefault; // Screen.MousePointer

    // --- controls, in the order the window creates them (see controls())
    Control Image1;
    Control Label1;
    Control Aggiornamento;
    Control Image2;
    Control Label6;
    Control Label9;
    Control CartellaZu;
    Control Sfoglia;
    Control Label8;
    Control Label5;
    Control Label4;
    Control Command2;
    ProgressBar Pb;
    Control Command1;
    Control FrameAttendere;
    Control Label11;
    Control Label12;
    Control Label10;
    Control Frame1;
    Control Check1;
    Control Check2;
    Control Check3;
    Control Label3;
    Control Frame2;
    Control CartellaDefault;
    Control Label2;
    Control Text1; // the run log: its `text` (MemLog appends to it)
    FileListBox File1;

    // --- window-level variables of the run
    std::string CartellaDati; // data folder, no trailing backslash
    std::string NomeDb1;      // first database (model) of the pair being compared
    std::string NomeDb2;      // second database (installed archive) of the pair

    // --- comparison state: the open pair while Ponteval works (a default Database is none), and its failure
    // flag, set by the steps' handlers
    dao::Database Db1;
    dao::Database Db2;
    // The archive NomeDb2 held for this run (no other program may open it) from its comparison to the end of
    // the company's work on it.
    dao::FileReservation archiveReservation;
    // Archives that the run found unusable (held elsewhere, not an archive, no room for their work), by
    // their upper-cased path, with the error found: every later opening in this run fails with it, so that
    // the steps after the comparison report it instead of changing what another program holds.
    std::map<std::string, Error> refusedArchives;
    // The comparison works on a copy of its archive, beside it, and puts it in the archive's place once, at
    // its end (schema/working_copy.h): the archive the copy stands for ("" while no comparison has one) and
    // the copy's path ("" until the first opening of the archive makes it).
    std::string workingCopyOf;
    std::string workingCopy;
    VbBoolean ErroreConfronto = vbFalse;
    // The journal of the values that field rebuilds of this comparison changed (a CSV file beside the
    // archive); "" until the first one is written. Ponteval empties it when a comparison starts.
    std::string DiarioConversioni;
    // The recovery archive of this comparison, where what it deletes is copied first (schema/recovery.h):
    // its path beside the archive ("" until the first copy), open while the comparison runs. Ponteval ends
    // them when the comparison ends.
    std::string ArchivioRimossi;
    dao::Database RimossiDb;
    // What the run must tell the user beyond the run log; written out when the run ends.
    RunReport runReport;
    // How many restore points of update runs the data folder keeps, this run's among them
    // (app/restore_point.h).
    int restorePointsKept = 1;

    // --- the database engine of the run: one DBEngine, kept for the whole run. Set by whoever starts the
    // run (Command2_Click, tests) before any procedure opens a database; ApreDb uses it.
    dao::DBEngine* engine = nullptr;

    // --- password list shared by ApreDb and the compaction: entries 1..NumDb are in use, 0 never
    static constexpr int kMaxDb = 200;
    std::int16_t NumDb = 0;
    std::array<std::string, kMaxDb + 1> NomiDb; // upper-cased database paths
    std::array<std::string, kMaxDb + 1> PwdDb;  // the password that last opened each

    // --- the developer's machine: when the program's folder begins with `devFolderPrefix` (six characters,
    // compared without regard to case), manuals come from `devTree` instead. Empty: no development mode.
    std::string devFolderPrefix;
    std::string devTree;

    // --- services: the boxes, each recorded in the run's report as it is answered
    ReportedDialogs dialogs;
    const std::string& AppPath() const { return appPath_; }

    // Every control, window children and frame children alike, in creation order. Pointers stay valid for
    // the window's life.
    std::vector<Control*> controls();
    std::vector<const Control*> controls() const;
    // The control of that name (exact), nullptr when there is none.
    Control* find(const std::string& controlName);

    // Repaints one control now (VB's Control.Refresh); RefreshWindow repaints the whole window (Me.Refresh).
    // Without a painter attached (tests, unattended runs) they do nothing.
    void Refresh(const Control& control);
    void RefreshWindow();
    // Called by Refresh with the control, by RefreshWindow with nullptr. Set by gui/.
    std::function<void(const Control*)> onRefresh;
    // Called with each entry as the run log takes it (the unattended program prints it at once).
    std::function<void(const std::string&)> onLog;

    // Ends the program: marks the window ended and throws ProgramEnded. Only RunEvent catches it.
    [[noreturn]] void End();
    bool ended() const { return ended_; }

    // Runs one event procedure; returns false when the program must now end (the caller closes the window or
    // returns from the unattended run). A ProgramEnded thrown inside is absorbed here.
    template <class Event> bool RunEvent(Event&& event) {
        if (ended_) return false;
        try {
            event();
        } catch (const ProgramEnded&) {
        }
        return !ended_;
    }

private:
    std::string appPath_;
    bool ended_ = false;
};

} // namespace ledrana
