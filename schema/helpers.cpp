#include "schema/helpers.h"

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

} // namespace ledrana::schema_detail
