// The run's report for scripts: the same facts as the page, as one JSON document (described by
// docs/report.schema.json), and the index of the reports folder.

#include "window/run_report_json.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace ledrana {

namespace {

// Indexed by ChangeKind.
constexpr const char* kKindNames[kChangeKinds] = {
    "table_created", "table_removed",      "field_created",   "field_changed",       "field_removed",
    "index_created", "index_rebuilt",      "index_removed",   "query_created",       "query_changed",
    "query_removed", "fixed_table_copied", "nulls_completed", "zero_length_allowed", "values_journalled",
    "rows_added",    "values_changed",     "rows_removed",    "change_refused",
};

// A JSON string: UTF-8 kept, what is not UTF-8 as U+FFFD, control characters escaped.
std::string Str(const std::string& raw) {
    const std::string text = ValidUtf8(raw);
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string Iso(ReportClock::time_point t) {
    const std::time_t s = ReportClock::to_time_t(t);
    std::tm tm{};
    localtime_r(&s, &tm);
    char buf[40];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S%z", &tm);
    std::string iso = buf; // +0100 -> +01:00
    if (iso.size() > 2) iso.insert(iso.size() - 2, ":");
    return iso;
}

std::string Strings(const std::vector<std::string>& list) {
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i)
        out += (i ? "," : "") + Str(list[i]);
    return out + "]";
}

const char* EndName(RunEnd end) {
    switch (end) {
    case RunEnd::Done:
        return "done";
    case RunEnd::Incomplete:
        return "incomplete";
    case RunEnd::NotDone:
        return "not_done";
    case RunEnd::LockHeld:
        return "lock_held";
    case RunEnd::Interrupted:
        return "interrupted";
    }
    return "interrupted";
}

// The verdict's colour, as the page shows it.
const char* Verdict(RunEnd end) {
    return end == RunEnd::Done ? "ok" : end == RunEnd::Incomplete ? "warn" : "ko";
}

std::string Archive(const RunReport& r, const ArchiveReport& a) {
    const auto name = [&r](const std::string& path) { return Str(r.RealNames(path)); };
    std::string out =
        "{\"path\":" + name(a.path) + ",\"company\":" + Str(a.company) +
        ",\"updated\":" + (a.updated ? "true" : "false") + ",\"whole\":" + (a.Whole() ? "true" : "false") +
        ",\"seconds\":" + std::to_string(a.seconds) + ",\"outcome\":" + Strings(a.outcome) +
        ",\"errors\":" + Strings(a.problems) + ",\"left_by_interrupted_runs\":" + Strings(a.leftovers) +
        ",\"recovery_archive\":" + (a.recovery.empty() ? "null" : name(a.recovery)) + ",\"changes\":[";
    for (std::size_t i = 0; i < a.changes.size(); ++i) {
        const ReportChange& c = a.changes[i];
        out += std::string(i ? "," : "") + "{\"kind\":\"" + kKindNames[static_cast<int>(c.kind)] +
               "\",\"table\":" + Str(c.table) + ",\"object\":" + Str(c.object) +
               ",\"detail\":" + Str(r.RealNames(c.detail)) + ",\"before\":" + Str(c.before) +
               ",\"by\":" + Str(c.by) + ",\"count\":" + (c.count < 0 ? "null" : std::to_string(c.count)) +
               "}";
    }
    return out + "]}";
}

} // namespace

std::string RunReportJson(const RunReport& r) {
    const RunEnd end = r.End();
    const auto name = [&r](const std::string& path) { return Str(r.RealNames(path)); };
    std::string out = "{\n\"format\":\"tessaro-aggiornamento-rapporto/1\",\n\"kind\":\"";
    out += r.preview ? "preview" : "update";
    out += "\",\n\"start\":\"" + Iso(r.start) + "\",\n\"end\":" +
           (r.end == ReportClock::time_point{} ? std::string("null") : "\"" + Iso(r.end) + "\"") + ",\n";
    out += "\"verdict\":{\"colour\":\"" + std::string(Verdict(end)) + "\",\"end\":\"" + EndName(end) +
           "\",\"outcome\":" + Str(r.outcome) +
           ",\"companies_not_updated\":" + std::to_string(r.CompaniesNotUpdated()) +
           ",\"archives_not_updated\":" + std::to_string(r.ArchivesNotUpdated()) +
           ",\"companies_updated\":" + std::to_string(r.CompaniesUpdated()) + "},\n";
    out += "\"context\":{\"computer\":" + Str(r.computer) + ",\"user\":" + Str(r.user) +
           ",\"program\":" + Str(r.program) + ",\"command_line\":" + Str(r.commandLine) +
           ",\"model_folder\":" + Str(r.modelFolder) + ",\"data_folder\":" + Str(r.dataFolder) +
           ",\"data_folder_host\":" + Str(r.dataFolder.empty() ? "" : platform::HostPath(r.dataFolder)) +
           ",\"version_before\":" + (r.versionBefore ? Str(*r.versionBefore) : "null") +
           ",\"version_now\":" + Str(r.versionNow) +
           ",\"restore_point\":" + (r.restorePoint.empty() || r.preview ? "null" : Str(r.restorePoint)) +
           ",\"restore_point_incomplete\":" + (r.restorePointIncomplete ? "true" : "false") + "},\n";
    out += "\"errors\":" + Strings(r.problems()) + ",\n\"companies\":[";
    for (std::size_t i = 0; i < r.companies().size(); ++i) {
        const CompanyReport& c = r.companies()[i];
        out += std::string(i ? "," : "") + "\n{\"file\":" + Str(c.file) + ",\"problem\":" + Str(c.problem) +
               ",\"errors\":" + Strings(c.problems) + "}";
    }
    out += "],\n\"archives\":[";
    for (std::size_t i = 0; i < r.archives().size(); ++i)
        out += std::string(i ? "," : "") + "\n" + Archive(r, r.archives()[i]);
    out += "],\n\"boxes\":[";
    for (std::size_t i = 0; i < r.boxes().size(); ++i) {
        const ReportBox& b = r.boxes()[i];
        out += std::string(i ? "," : "") + "\n{\"title\":" + Str(b.title) +
               ",\"text\":" + Str(r.RealNames(b.text)) + ",\"style\":" + std::to_string(b.style) +
               ",\"input\":" + (b.input ? "true" : "false") + ",\"answer\":" + Str(b.answer) + "}";
    }
    out += "],\n\"ini\":[";
    for (std::size_t i = 0; i < r.iniChanges().size(); ++i) {
        const IniChange& c = r.iniChanges()[i];
        out += std::string(i ? "," : "") + "\n{\"file\":" + name(c.file) + ",\"section\":" + Str(c.section) +
               ",\"key\":" + Str(c.key) + ",\"before\":" + (c.before ? Str(*c.before) : "null") +
               ",\"after\":" + Str(c.after) + "}";
    }
    out += "],\n\"files_copied\":[";
    for (std::size_t i = 0; i < r.filesCopied().size(); ++i)
        out += std::string(i ? "," : "") + "\n{\"from\":" + name(r.filesCopied()[i].first) +
               ",\"to\":" + name(r.filesCopied()[i].second) + "}";
    out += "],\n\"notes\":[";
    for (std::size_t i = 0; i < r.notes().size(); ++i) {
        const ReportNote& n = r.notes()[i];
        out += std::string(i ? "," : "") + "\n{\"archive\":" + name(n.archive) +
               ",\"text\":" + Str(r.RealNames(n.text)) + "}";
    }
    return out + "]\n}\n";
}

std::string RestoreReportJson(const RestoreReport& r) {
    std::string out =
        "{\n\"format\":\"tessaro-aggiornamento-rapporto/1\",\n\"kind\":\"restore\",\n\"start\":\"" +
        Iso(r.start) + "\",\n\"end\":" +
        (r.end == ReportClock::time_point{} ? std::string("null") : "\"" + Iso(r.end) + "\"") +
        ",\n\"verdict\":{\"colour\":\"" + (r.ok ? "ok" : "ko") + "\",\"outcome\":" + Str(r.outcome) +
        "},\n\"data_folder\":" + Str(r.dataFolder) + ",\n\"restore_point\":" + Str(r.restorePoint) +
        ",\n\"own_restore_point\":" + Str(r.ownRestorePoint) +
        ",\n\"forced\":" + (r.forced ? "true" : "false") + ",\n\"items\":[";
    bool first = true;
    for (const auto* list : {&r.archives, &r.files})
        for (const RestoreReport::Item& i : *list) {
            out += std::string(first ? "" : ",") + "\n{\"kind\":\"" +
                   (list == &r.archives ? "archive" : "file") + "\",\"path\":" + Str(i.path) +
                   ",\"ok\":" + (i.ok ? "true" : "false") + ",\"outcome\":" + Str(i.outcome) + "}";
            first = false;
        }
    return out + "],\n\"notes\":" + Strings(r.notes) + "\n}\n";
}

void WriteReportIndex(const std::string& folder) {
    namespace fs = std::filesystem;
    struct Entry {
        std::string file, kind, when, verdict, outcome;
    };
    std::map<std::string, Entry> entries; // by time, then name: the newest last
    std::error_code ec;
    for (fs::directory_iterator it(platform::HostPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const std::size_t dash = file.find('-');
        if (file.size() < 20 || dash == std::string::npos || file.compare(file.size() - 5, 5, ".html") != 0)
            continue;
        const std::string kind = file.substr(0, dash);
        if (kind != "aggiornamento" && kind != "anteprima" && kind != "ripristino") continue;
        const std::string stamp = file.substr(dash + 1, 15); // YYYYMMDD-HHMMSS
        Entry e{file, kind,
                stamp.size() == 15
                    ? stamp.substr(6, 2) + "/" + stamp.substr(4, 2) + "/" + stamp.substr(0, 4) + " " +
                          stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2)
                    : stamp,
                "", ""};
        // The verdict from the twin, without a JSON reader: the two fields are written in a known form.
        try {
            const std::string twin =
                platform::ReadAllBytes(folder + "\\" + file.substr(0, file.size() - 5) + ".json");
            const auto field = [&twin](const std::string& key) {
                const std::size_t at = twin.find("\"" + key + "\":\"");
                return at == std::string::npos
                           ? std::string()
                           : twin.substr(at + key.size() + 4,
                                         twin.find('"', at + key.size() + 4) - at - key.size() - 4);
            };
            e.verdict = field("colour");
            e.outcome = field("outcome");
        } catch (const Error&) {
        }
        entries[stamp + file] = e;
    }
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"it\">\n<head>\n<meta charset=\"utf-8\">\n<title>Rapporti "
        "degli aggiornamenti</title>\n<style>body{font-family:\"DejaVu Sans\",Arial,sans-serif;"
        "font-size:10pt;margin:1.5em}table{border-collapse:collapse}th,td{border:1px solid #bbb;"
        "padding:.15em .5em;text-align:left}th{background:#e8eef5}.ok{color:#17612b}.warn{color:"
        "#8a4b00}.ko{color:#a8201a}</style>\n</head>\n<body>\n<h1>Rapporti degli aggiornamenti"
        "</h1>\n<table>\n<tr><th>Data</th><th>Tipo</th><th>Esito</th><th>Rapporto</th></tr>\n";
    const auto escape = [](const std::string& t) {
        std::string o;
        for (char c : t)
            o += c == '<'   ? "&lt;"
                 : c == '>' ? "&gt;"
                 : c == '&' ? "&amp;"
                 : c == '"' ? "&quot;"
                            : std::string(1, c);
        return o;
    };
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const Entry& e = it->second;
        page += "<tr><td>" + e.when + "</td><td>" + e.kind + "</td><td class=\"" + escape(e.verdict) + "\">" +
                escape(e.outcome.empty() ? "—" : e.outcome) + "</td><td><a href=\"" + escape(e.file) + "\">" +
                escape(e.file) + "</a></td></tr>\n";
    }
    page += "</table>\n</body>\n</html>\n";
    platform::WriteAllBytes(folder + "\\index.html", page);
}

} // namespace ledrana
