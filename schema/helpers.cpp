#include "schema/helpers.h"

#include "dao/vb/functions.h"
#include "platform/text.h"
#include "window/run_log.h"

namespace ledrana::schema_detail {

dao::DBEngine& Engine(Aggiorna& w) {
    if (w.engine == nullptr) throw Error(429, "Impossibile creare il motore del database");
    return *w.engine;
}

bool SameName(std::string_view a, std::string_view b) {
    return UCase(a) == UCase(b);
}

std::string VbStr(int number) {
    return (number >= 0 ? " " : "") + std::to_string(number);
}

void ReportStepError(Aggiorna& w, std::string_view procedure, const Error& e, std::string_view object) {
    std::string text = "Funz. ";
    text += procedure;
    text += LF + std::to_string(e.number()) + " " + e.description() + LF;
    text += object;
    MemLog(w, text, true);
    w.runReport.Change(w.NomeDb2, ChangeKind::ChangeRefused, "", std::string(object), text);
    w.ErroreConfronto = vbTrue;
}

std::string TimestampedSibling(const std::string& archive, const std::string& tag,
                               const std::string& ending) {
    const auto twoDigits = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    const std::size_t slash = archive.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "" : archive.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? archive : archive.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    const dao::vb::CivilDate t = dao::vb::SplitDayNumber(dao::vb::NowDayNumber());
    return folder + name + tag + std::to_string(t.year) + twoDigits(t.month) + twoDigits(t.day) + "-" +
           twoDigits(t.hour) + twoDigits(t.minute) + twoDigits(t.second) + ending;
}

std::string IndexText(const dao::Index& ix) {
    std::string text;
    for (const std::string& f : IndexFieldNames(ix))
        text += (text.empty() ? "(" : ", ") + f;
    text += ")";
    if (ix.Primary()) text += " primario";
    if (ix.Unique()) text += std::string(ix.Primary() ? "," : "") + " univoco";
    if (ix.IgnoreNulls()) text += ", ignora i Null";
    return text;
}

std::vector<std::string> IndexFieldNames(const dao::Index& ix) {
    std::vector<std::string> names;
    const dao::Fields f = ix.Fields();
    for (int j = 0; j < f.Count(); ++j)
        names.push_back(f[j].Name());
    return names;
}

void NoteCompletedNulls(Aggiorna& w, const std::string& archive,
                        const std::vector<dao::CompletedNulls>& nulls) {
    for (const dao::CompletedNulls& n : nulls)
        if (n.count > 0)
            w.runReport.Change(archive, ChangeKind::NullsCompleted, n.table, n.field, "", n.count);
}

} // namespace ledrana::schema_detail
