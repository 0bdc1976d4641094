#include "app/batch_dialogs.h"

#include "platform/error.h"
#include "platform/scripted_dialogs.h"
#include "platform/text.h"

namespace ledrana {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::optional<BatchAnswer> parseAnswer(const std::string& word) {
    if (word.rfind("text:", 0) == 0) return BatchAnswer{true, 0, word.substr(5)};
    if (word == "OK") return BatchAnswer{false, vbOK, {}};
    if (word == "Yes") return BatchAnswer{false, vbYes, {}};
    if (word == "No") return BatchAnswer{false, vbNo, {}};
    return std::nullopt;
}

// What an input box's answer is shown as: the program's only input box asks for a database password, so
// what was typed never reaches the console nor the boxes file; an empty answer (a box given up) shows.
std::string shownAnswer(const BatchBox& box) {
    return box.typed.empty() ? std::string() : "***";
}

std::string buttonName(int button) {
    switch (button) {
    case vbOK:
        return "OK";
    case vbYes:
        return "Yes";
    case vbNo:
        return "No";
    default:
        return std::to_string(button);
    }
}

} // namespace

void BatchDialogs::Load(const std::string& answersText) {
    std::size_t start = 0;
    int lineNo = 0;
    while (start <= answersText.size()) {
        auto end = answersText.find('\n', start);
        if (end == std::string::npos) end = answersText.size();
        // A text answer keeps its blanks; only the line end is taken off.
        std::string raw = answersText.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        start = end + 1;
        ++lineNo;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;

        if (line.rfind("if ", 0) == 0) {
            const auto arrow = line.find(" -> ");
            std::optional<BatchAnswer> answer;
            if (arrow != std::string::npos) answer = parseAnswer(line.substr(arrow + 4));
            if (!answer || arrow <= 3)
                throw Error(5, "Risposta non valida alla riga " + std::to_string(lineNo) + ": " + line);
            rules_.push_back({line.substr(3, arrow - 3), *answer});
            continue;
        }
        const std::string word =
            raw.find("text:") != std::string::npos ? raw.substr(raw.find("text:")) : line;
        auto answer = parseAnswer(word);
        if (!answer) throw Error(5, "Risposta non valida alla riga " + std::to_string(lineNo) + ": " + line);
        ordered_.push_back(*answer);
    }
}

std::optional<BatchAnswer> BatchDialogs::take(const std::string& text, bool input) {
    for (const Rule& rule : rules_)
        if (rule.answer.isText == input && text.find(rule.fragment) != std::string::npos) return rule.answer;
    if (!ordered_.empty() && ordered_.front().isText == input) {
        BatchAnswer a = ordered_.front();
        ordered_.pop_front();
        return a;
    }
    return std::nullopt;
}

void BatchDialogs::record(BatchBox box) {
    if (box.title.empty()) box.title = kAppTitle;
    boxes_.push_back(box);
    if (observer_) observer_(boxes_.back());
}

int BatchDialogs::MsgBox(const std::string& text, int style, const std::string& title) {
    int button;
    if (auto a = take(text, false)) {
        button = a->button;
    } else if (lastInputCancelled_ && (style & 0xF) == vbYesNo) {
        button = vbNo;
    } else {
        button = ScriptedDialogs::DefaultAnswer(style);
    }
    lastInputCancelled_ = false;
    record({title, style, text, false, button, {}});
    return button;
}

std::string BatchDialogs::InputBox(const std::string& prompt, const std::string& title) {
    std::string typed;
    if (auto a = take(prompt, true)) {
        typed = a->text;
        lastInputCancelled_ = false;
    } else {
        lastInputCancelled_ = true;
    }
    record({title, 0, prompt, true, 0, typed});
    return typed;
}

std::optional<std::string> BatchDialogs::BrowseForFolder(const std::string&) {
    return std::nullopt;
}

std::string BatchDialogs::ToJson(const BatchBox& box) {
    std::string out = "{\"title\": " + JsonString(box.title) + ", \"style\": " + std::to_string(box.style) +
                      ", \"text\": " + JsonString(box.text) + ", \"answer\": ";
    if (box.input) return out + JsonString(shownAnswer(box)) + ", \"input\": true}";
    return out + JsonString(buttonName(box.button)) + "}";
}

std::string BatchDialogs::ToLine(const BatchBox& box) {
    std::string text = box.text;
    for (auto& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    if (box.input) return "[" + box.title + "] input: " + text + " => \"" + shownAnswer(box) + "\"";
    return "[" + box.title + "] style " + std::to_string(box.style) + ": " + text + " => " +
           buttonName(box.button);
}

} // namespace ledrana
