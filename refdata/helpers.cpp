#include "refdata/helpers.h"

#include "window/run_log.h"

namespace ledrana::refdata_detail {

std::string ErrorText(const Error& e) {
    return std::to_string(e.number()) + " " + e.description();
}

void ReportCopyError(Aggiorna& w, const Error& e, std::string_view funz, const std::string& primo,
                     const std::string& secondo) {
    std::string text = ErrorText(e) + LF;
    text += funz;
    text += LF + primo + LF + secondo;
    MemLog(w, text, true);
}

std::string Amp(const dao::Variant& value) {
    if (value.IsNull() || value.IsEmpty()) return {};
    return value.ToString();
}

void DiscardPending(dao::Recordset& rs) {
    if (rs.EditMode() != 0) rs.CancelUpdate();
}

} // namespace ledrana::refdata_detail
