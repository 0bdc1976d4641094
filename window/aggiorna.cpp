#include "window/aggiorna.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace ledrana {
namespace {

void Place(Control& c, std::string name, ControlKind kind, int left, int top, int width, int height) {
    c.name = std::move(name);
    c.kind = kind;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
}

// Labels on the window are drawn over the gradient.
void MakeLabel(Control& c, std::string name, std::string caption, int left, int top, int width, int height) {
    Place(c, std::move(name), ControlKind::Label, left, top, width, height);
    c.caption = std::move(caption);
    c.backTransparent = true;
}

constexpr std::uint32_t kLightYellow = 0x0080FFFF;
constexpr std::uint32_t kBlue = 0x00C00000;
constexpr std::uint32_t kWhite = 0x80000005; // system "window background" of text boxes

} // namespace

Aggiorna::Aggiorna(Dialogs& dialogs, std::string appPath)
    : dialogs(dialogs, runReport), appPath_(std::move(appPath)) {
    Place(Image1, "Image1", ControlKind::PictureBox, 480, 0, 4500, 885);
    MakeLabel(Label1, "Label1", "Aggiornamento n.", 2160, 840, 1335, 255);
    MakeLabel(Aggiornamento, "Aggiornamento", "Aggiornamento", 3480, 840, 495, 255);
    Aggiornamento.font.bold = true;
    Place(Image2, "Image2", ControlKind::PictureBox, 120, 960, 480, 480);
    Image2.mousePointer = vbCustom;
    MakeLabel(Label6, "Label6",
              "procedura automatica per nuova installazione ed aggiornamento da versioni precedenti", 120,
              1200, 6255, 615);
    Label6.font.size = 9.75;
    Label6.font.bold = true;
    Label6.alignment = 2;
    MakeLabel(Label9, "Label9", "cartella", 120, 2280, 615, 255);
    Place(CartellaZu, "CartellaZu", ControlKind::TextBox, 720, 2280, 4695, 285);
    CartellaZu.text = "C:\\ZU";
    CartellaZu.backColor = kWhite;
    MakeLabel(Sfoglia, "Sfoglia", "sfoglia", 5520, 2300, 735, 255);
    Sfoglia.font.underline = true;
    Sfoglia.foreColor = kBlue;
    MakeLabel(Label8, "Label8",
              "se Tessaro si usa su un solo computer si consiglia di lasciare la cartella C:\\ZU", 360, 2565,
              5895, 255);
    MakeLabel(
        Label5, "Label5",
        "per l'uso in rete indicare il percorso della cartella condivisa sul computer che fa da server,\n"
        "ad esempio \\\\SERVER\\ZU, lo stesso su ogni computer",
        360, 2880, 5415, 375);
    Label5.font.size = 6.75;
    MakeLabel(Label4, "Label4",
              "premere ESEGUI ed attendere il temine dell'operazione per poter utilizzare Tessaro", 240, 3720,
              5895, 255);
    Place(Command2, "Command2", ControlKind::CommandButton, 240, 3960, 5895, 495);
    Command2.caption = "Esegui";
    Command2.font = Font{"Verdana", 12, true, false};
    Place(Pb, "Pb", ControlKind::ProgressBar, 1440, 4440, 3495, 255);
    Pb.visible = false;
    Place(Command1, "Command1", ControlKind::CommandButton, 5520, 120, 735, 375);
    Command1.caption = "Chiudi";

    Place(FrameAttendere, "FrameAttendere", ControlKind::Frame, 720, 4800, 5055, 1575);
    FrameAttendere.backColor = kLightYellow;
    FrameAttendere.visible = false;
    for (Control* c : {&Label11, &Label12, &Label10})
        c->container = "FrameAttendere";
    MakeLabel(Label11, "Label11", "Attendere.......", 240, 240, 4575, 375);
    Label11.font.size = 12;
    Label11.font.bold = true;
    MakeLabel(Label12, "Label12", "Compattamento archivi", 240, 660, 4575, 375);
    Label12.font.size = 12;
    MakeLabel(Label10, "Label10", "", 240, 1080, 4575, 375);
    Label10.font.size = 9.75;

    Place(Frame1, "Frame1", ControlKind::Frame, 2760, 5040, 3495, 1095);
    Frame1.caption = "Confronto e Modifica";
    Frame1.visible = false;
    for (Control* c : {&Check1, &Check2, &Check3, &Label3})
        c->container = "Frame1";
    Place(Check1, "Check1", ControlKind::CheckBox, 120, 240, 1935, 255);
    Check1.caption = "anche proprietà fields";
    Check1.value = 1;
    Place(Check2, "Check2", ControlKind::CheckBox, 120, 480, 2055, 255);
    Check2.caption = "segnalo ogni variazione";
    Check2.value = 0;
    Place(Check3, "Check3", ControlKind::CheckBox, 840, 720, 1335, 255);
    Check3.caption = "Copio dati tabelle fisse";
    Check3.value = 1;
    Place(Label3, "Label3", ControlKind::Label, 120, 720, 735, 255);
    Label3.caption = "Label3";

    Place(Frame2, "Frame2", ControlKind::Frame, 2280, 5520, 2415, 735);
    Frame2.visible = false;
    for (Control* c : {&CartellaDefault, &Label2})
        c->container = "Frame2";
    Place(CartellaDefault, "CartellaDefault", ControlKind::TextBox, 120, 360, 2175, 285);
    CartellaDefault.backColor = kWhite;
    Place(Label2, "Label2", ControlKind::Label, 120, 120, 2175, 255);
    Label2.caption = "AppPath";

    Place(Text1, "Text1", ControlKind::TextBox, 2640, 5280, 2175, 495);
    Text1.multiLine = true;
    Text1.verticalScrollBar = true;
    Text1.visible = false;
    Text1.backColor = kWhite;
    Place(File1, "File1", ControlKind::FileListBox, 120, 5040, 2415, 2430);
    File1.toolTipText = "Doppio click per selezionare";
    File1.visible = false;
    File1.backColor = kWhite;
}

Aggiorna::~Aggiorna() = default;

std::vector<Control*> Aggiorna::controls() {
    return {&Image1,         &Label1,  &Aggiornamento, &Image2,          &Label6,   &Label9, &CartellaZu,
            &Sfoglia,        &Label8,  &Label5,        &Label4,          &Command2, &Pb,     &Command1,
            &FrameAttendere, &Label11, &Label12,       &Label10,         &Frame1,   &Check1, &Check2,
            &Check3,         &Label3,  &Frame2,        &CartellaDefault, &Label2,   &Text1,  &File1};
}

std::vector<const Control*> Aggiorna::controls() const {
    std::vector<const Control*> out;
    for (Control* c : const_cast<Aggiorna*>(this)->controls())
        out.push_back(c);
    return out;
}

Control* Aggiorna::find(const std::string& controlName) {
    for (Control* c : controls())
        if (c->name == controlName) return c;
    return nullptr;
}

void Aggiorna::Refresh(const Control& control) {
    if (onRefresh) onRefresh(&control);
}

void Aggiorna::RefreshWindow() {
    if (onRefresh) onRefresh(nullptr);
}

void Aggiorna::End() {
    ended_ = true;
    throw ProgramEnded{};
}

std::string FileListBox::FileName() const {
    if (listIndex < 0 || listIndex >= ListCount()) return "";
    return entries[static_cast<std::size_t>(listIndex)];
}

// VB's file list takes several patterns separated by ";"; the platform lists one at a time.
void FileListBox::Reload() {
    entries.clear();
    listIndex = -1;
    std::size_t start = 0;
    while (start <= pattern.size()) {
        std::size_t end = pattern.find(';', start);
        if (end == std::string::npos) end = pattern.size();
        const std::string one = pattern.substr(start, end - start);
        start = end + 1;
        if (one.empty()) continue;
        try {
            for (std::string& name : platform::ListFiles(path, one))
                if (std::find(entries.begin(), entries.end(), name) == entries.end())
                    entries.push_back(std::move(name));
        } catch (const Error&) {
            entries.clear();
            return;
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const std::string& a, const std::string& b) { return UCase(a) < UCase(b); });
}

void FileListBox::SetPath(const std::string& windowsPath) {
    path = windowsPath;
    Reload();
}

void FileListBox::SetPattern(const std::string& newPattern) {
    pattern = newPattern;
    Reload();
}

} // namespace ledrana
