#pragma once
// The run's report: the facts of one run that a person reads afterwards (support, the office's IT), kept
// apart from the run log. The run log holds the procedures' own texts and nothing else; whatever more the
// user must know about a run (values journalled, a recovery archive made, a stale Jet lock file, a share
// without byte-range locks, files found beside a missing archive) is noted here by whoever learns it, and
// written out when the run ends.
//
// The run fills it as it goes; writing it out (HTML and text) is a view of these facts.

#include <string>
#include <vector>

namespace ledrana {

// One fact, about an archive (its Windows path as the run names it) or about the run as a whole ("").
struct ReportNote {
    std::string archive;
    std::string text;
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

private:
    std::vector<ReportNote> notes_;
    std::vector<std::string> onceKeys_;
};

} // namespace ledrana
