#pragma once
// The boxes the program shows to the user. The window supplies a Qt implementation; tests and
// unattended runs use ScriptedDialogs (platform/scripted_dialogs.h).

#include <optional>
#include <string>

namespace ledrana {

// Answers of a message box, as VB's MsgBox returns them.
enum MsgBoxAnswer : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

// Styles in use: 0 OK; 4 Yes/No; 64 OK with information icon; 260 Yes/No, No preselected;
// 292 Yes/No, question icon, No preselected.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbQuestion = 32,
    vbInformation = 64,
    vbDefaultButton2 = 256,
};

// Title shown by a box whose title is empty.
inline constexpr const char* kAppTitle = "AggiornaLedrana";

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal message box; returns the button pressed (vbOK, vbYes, vbNo). An empty title means
    // kAppTitle.
    virtual int MsgBox(const std::string& text, int style, const std::string& title) = 0;
    // Shows a modal input box; returns the text typed, "" when cancelled.
    virtual std::string InputBox(const std::string& prompt, const std::string& title) = 0;
    // Shows the folder browser; returns the chosen folder as a Windows path, nothing when cancelled.
    virtual std::optional<std::string> BrowseForFolder(const std::string& title) = 0;
    // Lets the window repaint and process what is pending (VB's DoEvents).
    virtual void DoEvents() = 0;
};

} // namespace ledrana
