#include "window/run_log.h"

#include <exception>

namespace ledrana {

void MemLog(Aggiorna& w, const std::string& stringa, bool VisualizzoMsgBox) {
    // The box holds what an edit control can; an entry that does not fit is lost and the run goes on.
    try {
        std::string text = w.Text1.text;
        text += "\r\n->";
        text += stringa;
        w.Text1.text = std::move(text);
        if (w.onLog) w.onLog(stringa);
    } catch (const std::exception&) {
    }
    // An error shown with its box before the run's last line is one the run met: the report and the
    // program's exit status count it.
    if (VisualizzoMsgBox && w.runReport.outcome.empty()) w.runReport.Problem(stringa);
    if (VisualizzoMsgBox) w.dialogs.MsgBox(stringa, vbOKOnly, kAppTitle);
}

void SalvaLog(Aggiorna&) {}

void ProgressTick(Aggiorna& w) {
    // The bar repaints itself whenever its value changes, also in the middle of a long procedure.
    if (w.Pb.value < w.Pb.max) {
        w.Pb.value += 1;
        w.Refresh(w.Pb);
    }
}

void Aggiorna::MemLog(const std::string& stringa, bool visualizzoMsgBox) {
    ledrana::MemLog(*this, stringa, visualizzoMsgBox);
}

void Aggiorna::ProgressTick() {
    ledrana::ProgressTick(*this);
}

} // namespace ledrana
