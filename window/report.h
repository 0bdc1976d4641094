#pragma once
// What the procedures of install/ need from the main window: its run log with the message box
// (MemLog) and the progress tick of the progress bar. The window object (window/aggiorna.h) implements
// it; tests use a recording implementation.

#include <string>

namespace ledrana {

class RunReport;

class Reporter {
public:
    virtual ~Reporter() = default;
    // Appends CR LF, "->" and the text to the run log; when visualizzoMsgBox is true, also shows the
    // text in an OK message box (modal: returns once it is closed).
    virtual void MemLog(const std::string& stringa, bool visualizzoMsgBox) = 0;
    // Adds 1 to the value of the progress bar when it is below its maximum.
    virtual void ProgressTick() = 0;
    // The run's report, where the caller records what it changed (INI keys written); nullptr when there is
    // none.
    virtual RunReport* Report() { return nullptr; }
};

} // namespace ledrana
