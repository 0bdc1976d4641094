#pragma once
// The desktop notification at the end of a run: it names the run's report and offers to open it, so the
// person at the window learns where the report is without the window itself changing. It goes over the
// session bus to the freedesktop notification server (org.freedesktop.Notifications); without a session
// bus or a server nothing is shown and nothing is said.

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

#include "window/run_report.h"

namespace ledrana::gui {

// What the notification says of a run.
struct ReportNotice {
    QString summary; // the run's end, as the report's verdict tells it
    QString body;    // the report's host path, or that it could not be written and why
    QString report;  // the report's host path; empty when there is none to open
    bool ok = false; // the run left nothing undone
};

// The notice for a run that is over; nothing for a preview whose report was not written (the program that
// made the preview says so itself).
std::optional<ReportNotice> NoticeFor(const RunReport& report);

// Opens a host file with the desktop's program for it.
void OpenWithDesktop(const QString& hostPath);

// Sends the notice to the session bus's notification server, with the action "apri" ("Apri il rapporto")
// when there is a report and the server shows actions, and waits, processing events, until the action is
// chosen (the report is then opened with `open`), the notification is closed, or `wait` has passed (the
// notification is then replaced by one without the action, which nobody would answer any more). Returns
// false, at once and silently, when there is no session bus or no server took the notice.
bool NotifyReport(const ReportNotice& notice, std::chrono::milliseconds wait,
                  const std::function<void(const QString&)>& open = OpenWithDesktop);

} // namespace ledrana::gui
