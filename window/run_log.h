#pragma once
// The run log: a growing text in the hidden box Text1 of the window, and the progress tick most procedures
// begin with.

#include <string>

#include "window/aggiorna.h"

namespace ledrana {

// Appends CR LF "->" + stringa to Text1's text; when VisualizzoMsgBox is true, then shows stringa alone in an
// OK box with the application's title and waits for it. Never throws a ledrana::Error: an entry that cannot
// be appended is lost, the box is still shown.
void MemLog(Aggiorna& w, const std::string& stringa, bool VisualizzoMsgBox = false);

// Kept for the two calls at the ends of the run: the log is not written anywhere.
void SalvaLog(Aggiorna& w);

// The progress tick: adds 1 to Pb's value when it is below Pb's maximum, and repaints the bar.
void ProgressTick(Aggiorna& w);

} // namespace ledrana
