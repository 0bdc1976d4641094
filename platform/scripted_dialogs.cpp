#include "platform/scripted_dialogs.h"

namespace ledrana {

namespace {

// What a scripted dialog answers to this text: the answer of the first rule whose fragment the text
// contains, else the next queued answer (taken off the queue); none when there is neither.
template <class Rule, class T>
std::optional<T> scriptedAnswer(const std::vector<Rule>& rules, T Rule::*answer, std::deque<T>& queue,
                                const std::string& text) {
    for (const Rule& rule : rules)
        if (text.find(rule.fragment) != std::string::npos) return rule.*answer;
    if (queue.empty()) return std::nullopt;
    T next = std::move(queue.front());
    queue.pop_front();
    return next;
}

} // namespace

void ScriptedDialogs::QueueAnswer(int answer) {
    answers_.push_back(answer);
}
void ScriptedDialogs::QueueInput(std::string text) {
    inputs_.push_back(std::move(text));
}
void ScriptedDialogs::QueueFolder(std::optional<std::string> windowsPath) {
    folders_.push_back(std::move(windowsPath));
}

void ScriptedDialogs::AnswerWhenContains(std::string fragment, int answer) {
    answerRules_.push_back({std::move(fragment), answer, {}});
}

void ScriptedDialogs::InputWhenContains(std::string fragment, std::string text) {
    inputRules_.push_back({std::move(fragment), 0, std::move(text)});
}

void ScriptedDialogs::Clear() {
    answers_.clear();
    inputs_.clear();
    folders_.clear();
    answerRules_.clear();
    inputRules_.clear();
}

void ScriptedDialogs::SetObserver(std::function<void(const DialogRecord&)> observer) {
    observer_ = std::move(observer);
}

std::vector<DialogRecord> ScriptedDialogs::messageBoxes() const {
    std::vector<DialogRecord> out;
    for (const DialogRecord& r : records_)
        if (r.kind == DialogRecord::Kind::MsgBox) out.push_back(r);
    return out;
}

int ScriptedDialogs::DefaultAnswer(int style) {
    int buttons = style & 7;
    bool second = (style & vbDefaultButton2) != 0;
    switch (buttons) {
    case vbYesNo:
        return second ? vbNo : vbYes;
    case 1:
        return second ? vbCancel : vbOK; // OK, Cancel
    case 5:
        return second ? vbCancel : 4; // Retry, Cancel
    case 3:
        return second ? vbNo : vbYes; // Yes, No, Cancel
    default:
        return vbOK;
    }
}

void ScriptedDialogs::record(DialogRecord r) {
    if (r.title.empty()) r.title = kAppTitle;
    records_.push_back(r);
    if (observer_) observer_(records_.back());
}

int ScriptedDialogs::MsgBox(const std::string& text, int style, const std::string& title) {
    DialogRecord r;
    r.kind = DialogRecord::Kind::MsgBox;
    r.text = text;
    r.style = style;
    r.title = title;
    r.answer = scriptedAnswer(answerRules_, &Rule::answer, answers_, text).value_or(DefaultAnswer(style));
    record(r);
    return r.answer;
}

std::string ScriptedDialogs::InputBox(const std::string& prompt, const std::string& title) {
    DialogRecord r;
    r.kind = DialogRecord::Kind::InputBox;
    r.text = prompt;
    r.title = title;
    r.inputBox = true;
    std::optional<std::string> input = scriptedAnswer(inputRules_, &Rule::text, inputs_, prompt);
    r.cancelled = !input;
    if (input) r.input = std::move(*input);
    record(r);
    return r.input;
}

std::optional<std::string> ScriptedDialogs::BrowseForFolder(const std::string& title) {
    DialogRecord r;
    r.kind = DialogRecord::Kind::BrowseForFolder;
    r.text = title;
    std::optional<std::string> answer;
    if (!folders_.empty()) {
        answer = folders_.front();
        folders_.pop_front();
    }
    r.input = answer.value_or("");
    r.cancelled = !answer;
    // The browser has a caption of its own; its title is the text shown inside it.
    r.title = kAppTitle;
    record(r);
    return answer;
}

} // namespace ledrana
