#pragma once
// Dialogs without a screen: every box is recorded and answered from a script. Tests and unattended
// runs use it.
//
// Answering a message box: first the rules (AnswerWhenContains), in the order they were added: the first
// whose fragment the text contains gives the answer; then the queue (QueueAnswer), front first; with
// nothing queued, the box's default button: No for the styles that preselect the second button of a
// Yes/No box (vbDefaultButton2: 260, 292), Yes for the other Yes/No styles (4, 36), OK for the rest
// (0, 64, ...).
// Input boxes: rules (InputWhenContains) on the prompt, then the queue (QueueInput), then cancel ("").
// Folder browser: the queue (QueueFolder), then nothing (cancel).

#include "platform/dialogs.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ledrana {

// One box as it was shown.
struct DialogRecord {
    enum class Kind { MsgBox, InputBox, BrowseForFolder };
    Kind kind = Kind::MsgBox;
    std::string text;       // message, prompt, or browser title
    int style = 0;          // message box style; 0 for the other kinds
    std::string title;      // as shown: an empty title is recorded as kAppTitle ("AggiornaLedrana")
    int answer = 0;         // message box: vbOK, vbYes or vbNo; other kinds: 0
    std::string input;      // input box: the text returned; browser: the folder returned ("" when none)
    bool inputBox = false;  // true for an input box
    bool cancelled = false; // input box answered "" by default, or browser with no folder
};

class ScriptedDialogs : public Dialogs {
public:
    ScriptedDialogs() = default;

    // Script. Answers are consumed in order; rules stay until Clear().
    void QueueAnswer(int answer);
    void QueueInput(std::string text);
    void QueueFolder(std::optional<std::string> windowsPath);
    void AnswerWhenContains(std::string fragment, int answer);
    void InputWhenContains(std::string fragment, std::string text);
    // Forgets the queues and the rules (not the records).
    void Clear();

    // Called with each record as soon as the box is answered (for example to echo an unattended run).
    void SetObserver(std::function<void(const DialogRecord&)> observer);

    // What was shown.
    const std::vector<DialogRecord>& records() const { return records_; }
    std::vector<DialogRecord> messageBoxes() const; // only the message boxes, in order
    int doEventsCount() const { return doEvents_; }
    // Number of queued answers not used yet (all three queues).
    std::size_t pending() const { return answers_.size() + inputs_.size() + folders_.size(); }

    // The default button of a message-box style (vbOK, vbYes or vbNo) as described above.
    static int DefaultAnswer(int style);

    // Dialogs
    int MsgBox(const std::string& text, int style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title) override;
    std::optional<std::string> BrowseForFolder(const std::string& title) override;
    void DoEvents() override { ++doEvents_; }

private:
    struct Rule {
        std::string fragment;
        int answer = 0;
        std::string text;
    };
    void record(DialogRecord r);

    std::deque<int> answers_;
    std::deque<std::string> inputs_;
    std::deque<std::optional<std::string>> folders_;
    std::vector<Rule> answerRules_;
    std::vector<Rule> inputRules_;
    std::vector<DialogRecord> records_;
    std::function<void(const DialogRecord&)> observer_;
    int doEvents_ = 0;
};

} // namespace ledrana
