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
    } catch (const std::exception&) {
    }
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
