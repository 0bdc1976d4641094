#pragma once
// The run's report for scripts and monitoring: beside every page of ledrana\rapporti its JSON twin with the
// same name (aggiornamento-<ts>.json, anteprima-<ts>.json, ripristino-<ts>.json), the same facts in the form
// docs/report.schema.json describes; and rapporti\index.html, the list of every report in the folder
// (date, kind, verdict, link), rewritten after each one.

#include <string>

#include "window/run_report.h"

namespace ledrana {

std::string RunReportJson(const RunReport& report);
std::string RestoreReportJson(const RestoreReport& report);

// Rewrites `folder`\index.html (written beside and renamed over). Throws ledrana::Error.
void WriteReportIndex(const std::string& folder);

} // namespace ledrana
