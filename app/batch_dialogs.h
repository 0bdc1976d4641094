#pragma once
// The boxes of an unattended run, answered from an answers file.
//
// The file holds one answer per line, taken in the order the boxes appear: "OK", "Yes", "No", or
// "text:" followed by the text an input box returns. A line "if FRAGMENT -> ANSWER" is a rule: it answers
// every box whose text contains FRAGMENT, and rules are looked at before the ordered answers. Blank lines
// and lines beginning with "#" are skipped. An answer that does not fit the box (a text for a message box,
// a button for an input box) is not used for it.
//
// A box that nothing answers takes its default button. An unattended run must always end: an unanswered
// input box is cancelled (""), and the Yes/No question that follows a cancelled input box is answered No.

#include "platform/dialogs.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ledrana {

struct BatchAnswer {
    bool isText = false;
    int button = 0;   // vbOK, vbYes, vbNo
    std::string text; // input box text
};

// One box as shown and answered.
struct BatchBox {
    std::string title; // as shown: an empty title is the application's
    int style = 0;
    std::string text;
    bool input = false;
    int button = 0;    // message box answer
    std::string typed; // input box answer
};

class BatchDialogs : public Dialogs {
public:
    // Reads the answers; throws ledrana::Error 5 naming the line when one cannot be read.
    void Load(const std::string& answersText);

    void SetObserver(std::function<void(const BatchBox&)> observer) { observer_ = std::move(observer); }
    const std::vector<BatchBox>& boxes() const { return boxes_; }

    int MsgBox(const std::string& text, int style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title) override;
    std::optional<std::string> BrowseForFolder(const std::string& title) override;
    void DoEvents() override {}

    // The box as one JSON object: {"title": ..., "style": ..., "text": ..., "answer": ...}, with
    // "input": true for input boxes, whose answer (a password) is "***", or "" when nothing was typed.
    static std::string ToJson(const BatchBox& box);
    // The box as one line for the console: title, style, text and answer (a typed one as "***").
    static std::string ToLine(const BatchBox& box);

private:
    struct Rule {
        std::string fragment;
        BatchAnswer answer;
    };
    std::optional<BatchAnswer> take(const std::string& text, bool input);
    void record(BatchBox box);

    std::vector<Rule> rules_;
    std::deque<BatchAnswer> ordered_;
    std::vector<BatchBox> boxes_;
    std::function<void(const BatchBox&)> observer_;
    bool lastInputCancelled_ = false;
};

} // namespace ledrana
