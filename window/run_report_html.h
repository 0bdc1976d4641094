#pragma once
// The run's report as a page that people read: one self-contained HTML file (its style inline, no script,
// nothing fetched from anywhere), readable in any browser and printable, kept in the data folder's
// ledrana\rapporti as aggiornamento-YYYYMMDD-HHMMSS.html (anteprima-... for a preview).

#include <string>

#include "window/run_report.h"

namespace ledrana {

// The page. Every text of the report is escaped; a preview names the real folders instead of its copies.
std::string RunReportHtml(const RunReport& report);

// "aggiornamento-20261207-061502.html" or "anteprima-...", after the run's start in local time.
std::string RunReportFileName(const RunReport& report);

// Writes the page as a new file (never over another one: a name taken already gets "-2", "-3"...) into
// report.folder, or else data folder + "\ledrana\rapporti", creating that last folder when it is missing.
// Returns the file's Windows path; throws ledrana::Error when it cannot be written.
std::string WriteRunReport(const RunReport& report);

// The page of a restore, and the file it is written to as WriteRunReport writes its page:
// ripristino-YYYYMMDD-HHMMSS.html in the data folder's ledrana\rapporti.
std::string RestoreReportHtml(const RestoreReport& report);
std::string WriteRestoreReport(const RestoreReport& report);

} // namespace ledrana
