#include "window/run_report.h"

#include "dao/dao.h"
#include "platform/text.h"

namespace ledrana {

void RunReport::Company(const std::string& file) {
    company_ = file;
    current_.clear();
    for (const CompanyReport& c : companies_)
        if (c.file == file) return;
    companies_.push_back({file, "", {}});
}

void RunReport::CompanyNotUpdated(const std::string& file, const std::string& logLine) {
    Company(file);
    for (CompanyReport& c : companies_)
        if (c.file == file) c.problem = logLine;
}

void RunReport::StartArchive(const std::string& company, const std::string& path) {
    Company(company);
    ArchiveReport& a = ArchiveAt(path);
    a.company = company;
    a.start = ReportClock::now();
    current_ = path;
}

void RunReport::Problem(const std::string& logLine) {
    if (!current_.empty()) {
        ArchiveAt(current_).problems.push_back(logLine);
        return;
    }
    for (CompanyReport& c : companies_)
        if (c.file == company_ && !company_.empty()) {
            c.problems.push_back(logLine);
            return;
        }
    problems_.push_back(logLine);
}

bool ArchiveReport::Whole() const {
    if (!updated || outcome.empty() || !problems.empty()) return false;
    for (const ReportChange& c : changes)
        if (c.kind == ChangeKind::ChangeRefused) return false;
    return true;
}

int RunReport::ArchivesNotUpdated() const {
    int n = 0;
    for (const ArchiveReport& a : archives_)
        if (!a.Whole()) ++n;
    return n;
}

RunEnd RunReport::End() const {
    if (lockHeld) return RunEnd::LockHeld;
    if (outcome == "Aggiornamento NON eseguito completamente") return RunEnd::NotDone;
    if (outcome != "Aggiornamento eseguito") return RunEnd::Interrupted;
    return CompaniesNotUpdated() > 0 || ArchivesNotUpdated() > 0 || !problems_.empty() ? RunEnd::Incomplete
                                                                                       : RunEnd::Done;
}

void RunReport::ArchiveOutcome(const std::string& path, bool updated, const std::string& logLine) {
    ArchiveReport& a = ArchiveAt(path);
    if (a.outcome.empty() && a.start != ReportClock::time_point{})
        a.seconds = std::chrono::duration<double>(ReportClock::now() - a.start).count();
    a.outcome.push_back(logLine);
    a.updated = a.updated && updated;
}

void RunReport::Change(const std::string& path, ChangeKind kind, const std::string& table,
                       const std::string& object, const std::string& detail, std::int64_t count) {
    ArchiveReport& a = ArchiveAt(path);
    // What a creation made is not said again: an index created with its first field and completed at once,
    // the zero-length permission of the text fields of a new or rebuilt table or field.
    const auto made = [&a, &table](ChangeKind k, const std::string& obj) {
        for (const ReportChange& c : a.changes)
            if (c.kind == k && UCase(c.table) == UCase(table) && UCase(c.object) == UCase(obj)) return true;
        return false;
    };
    if (kind == ChangeKind::IndexRebuilt && made(ChangeKind::IndexCreated, object)) return;
    if (kind == ChangeKind::ZeroLengthAllowed &&
        (made(ChangeKind::TableCreated, "") || made(ChangeKind::FieldCreated, object) ||
         made(ChangeKind::FieldChanged, object)))
        return;
    a.changes.push_back({kind, table, object, detail, count, "", ""});
}

std::string RunReport::RealNames(std::string text) const {
    for (const auto& [copy, real] : previewPaths) {
        if (copy.empty()) continue;
        const std::string upperCopy = UCase(copy);
        for (std::size_t at = 0; (at = UCase(text).find(upperCopy, at)) != std::string::npos;) {
            text.replace(at, copy.size(), real);
            at += real.size();
        }
    }
    return text;
}

int RunReport::CompaniesUpdated() const {
    int updated = 0;
    for (const CompanyReport& c : companies_) {
        bool ok = c.problem.empty() && c.problems.empty();
        bool any = false;
        for (const ArchiveReport& a : archives_) {
            if (a.company != c.file) continue;
            any = true;
            ok = ok && a.Whole();
        }
        if (ok && any) ++updated;
    }
    return updated;
}

void RunReport::IniWritten(const std::string& file, const std::string& section, const std::string& key,
                           const std::optional<std::string>& before, const std::string& after) {
    if (before && *before == after) return;
    ini_.push_back({file, section, key, before, after});
}

ArchiveReport& RunReport::ArchiveAt(const std::string& path) {
    // The run names one archive with several spellings (the INI's value is upper-cased).
    for (ArchiveReport& a : archives_)
        if (UCase(a.path) == UCase(path)) return a;
    archives_.push_back({});
    archives_.back().path = path;
    return archives_.back();
}

std::string FieldTypeText(int type, std::int32_t size, std::int32_t attributes) {
    static constexpr struct {
        int type;
        const char* name;
        bool sized; // the size follows the name
    } kTypes[] = {
        {dao::dbBoolean, "Sì/No", false},
        {dao::dbByte, "Byte", false},
        {dao::dbInteger, "Intero", false},
        {dao::dbLong, "Intero lungo", false},
        {dao::dbCurrency, "Valuta", false},
        {dao::dbSingle, "Precisione singola", false},
        {dao::dbDouble, "Precisione doppia", false},
        {dao::dbDate, "Data/ora", false},
        {dao::dbBinary, "Binario", true},
        {dao::dbText, "Testo", true},
        {dao::dbLongBinary, "Oggetto OLE", false},
        {dao::dbMemo, "Memo", false},
        {dao::dbGUID, "GUID", false},
    };
    std::string text = "tipo " + std::to_string(type) + " (" + std::to_string(size) + ")";
    for (const auto& t : kTypes)
        if (t.type == type) text = t.sized ? std::string(t.name) + " (" + std::to_string(size) + ")" : t.name;
    return (attributes & dao::dbAutoIncrField) ? text + ", contatore" : text;
}

int ReportedDialogs::MsgBox(const std::string& text, int style, const std::string& title) {
    const int answer = shown_.MsgBox(text, style, title);
    const char* name = answer == vbYes ? "Sì" : answer == vbNo ? "No" : answer == vbCancel ? "Annulla" : "OK";
    report_.Box({title, text, style, false, name});
    return answer;
}

std::string ReportedDialogs::InputBox(const std::string& prompt, const std::string& title) {
    // The one input box of the run asks for a password: what was typed is never written down.
    std::string typed = shown_.InputBox(prompt, title);
    report_.Box({title, prompt, 0, true, typed.empty() ? "(annullato)" : "***"});
    return typed;
}

std::optional<std::string> ReportedDialogs::BrowseForFolder(const std::string& title) {
    std::optional<std::string> chosen = shown_.BrowseForFolder(title);
    report_.Box({"", title, 0, true, chosen ? *chosen : "(annullato)"});
    return chosen;
}

} // namespace ledrana
